#include "tquorrte.h"

#include "data/appstate.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "data/stringgrid.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "maps/terrainsource.h"
#include "routeinsertion.h"
#include "waypointplus.h"
#include "widgets/look.h"
#include "widgets/updown.h"

#include "widgets/stringlistview.h"
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>

using namespace Look;

namespace {

constexpr QSize kClientSize(305, 339);
constexpr QRect kListGeometry(0, 0, 305, 289);
constexpr int kListFontPixels = 19;
constexpr int kListItemHeight = 22;
constexpr QRect kButtonGeometry(9, 296, 112, 33);
constexpr QRect kNumberGeometry(128, 296, 33, 30);
constexpr int kNumberFontPixels = 19;
constexpr QRect kArrowsGeometry(160, 296, 16, 33);
constexpr QRect kQuitGeometry(184, 296, 114, 33);
constexpr int kButtonFontPixels = 16;

// The first character of the title is the dialog's mode.
constexpr QChar kExportModeLetter = QLatin1Char('C');
constexpr QChar kInsertionModeLetter = QLatin1Char('I');

const QString kInitialTitle = QStringLiteral("Insère automatiquement une route");
const QString kInsertionTitle = QStringLiteral("Insère une route à partir de la ligne ");
const QString kExportTitle = QStringLiteral("Crée un fichier GPS de la route ");
const QString kExportNumberTitle = QStringLiteral("Crée un fichier GPS de la route n° ");
const QString kInsertCaption = QStringLiteral("&Insérer");
const QString kExportCaption = QStringLiteral("&Exporter");
const QString kQuitCaption = QStringLiteral("Quitter");

const QString kSaveTitle = QStringLiteral("Crée un fichier au format Waypoint +");
const QString kSaveFilter = QStringLiteral("Fichier WAYPOINT+|*.TXT");
const QString kSaveExtension = QStringLiteral("txt");
const QString kProposedSuffix = QStringLiteral(".TXT");

// Hides the dialog when the press of its button ends, however it ends.
class HideAtEnd
{
public:
    explicit HideAtEnd(QWidget *widget) : m_widget(widget) {}
    ~HideAtEnd() { m_widget->hide(); }
    HideAtEnd(const HideAtEnd &) = delete;
    HideAtEnd &operator=(const HideAtEnd &) = delete;

private:
    QWidget *m_widget;
};

} // namespace

TQuorrte::TQuorrte(AppState &state, Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_platform(platform)
{
    setObjectName(QStringLiteral("TQuorrte"));
    setWindowTitle(kInitialTitle);
    setModal(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLimeGreen);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(kClientSize);
    setProperty(kHelpContextProperty, HelpContext::StageGrid);

    LRoutes = new StringListView(m_routes, this);
    LRoutes->setObjectName(QStringLiteral("LRoutes"));
    LRoutes->setGeometry(kListGeometry);
    LRoutes->setFont(arial(kListFontPixels));
    LRoutes->setRowHeight(kListItemHeight);
    m_routes.setSelectHandler([this](int) { LRoutesClick(); });

    RInserer = new QPushButton(kInsertCaption, this);
    RInserer->setObjectName(QStringLiteral("RInserer"));
    RInserer->setGeometry(kButtonGeometry);
    RInserer->setFont(arial(kButtonFontPixels));
    RInserer->setAutoDefault(false);
    RInserer->setEnabled(false);

    NumRoute = new QLineEdit(this);
    NumRoute->setObjectName(QStringLiteral("NumRoute"));
    NumRoute->setGeometry(kNumberGeometry);
    NumRoute->setFont(arial(kNumberFontPixels));
    NumRoute->setReadOnly(true);
    NumRoute->hide();

    UpRoute = new UpDown(this);
    UpRoute->setObjectName(QStringLiteral("UpRoute"));
    UpRoute->setGeometry(kArrowsGeometry);
    UpRoute->setRange(WaypointPlus::kFirstRouteNumber, WaypointPlus::kLastRouteNumber);
    UpRoute->hide();
    NumRoute->setText(QString::number(UpRoute->position()));

    Quitter = new QPushButton(kQuitCaption, this);
    Quitter->setObjectName(QStringLiteral("Quitter"));
    Quitter->setGeometry(kQuitGeometry);
    Quitter->setFont(arial(kButtonFontPixels));
    Quitter->setAutoDefault(false);

    // A keyboard move in the list picks a route as a click does.
    connect(LRoutes, &StringListView::picked, this, [this](int row) { m_routes.select(row); });
    connect(RInserer, &QPushButton::clicked, this, [this] { RInsererClick(); });
    connect(Quitter, &QPushButton::clicked, this, [this] { QuitterClick(); });
    connect(UpRoute, &UpDown::clicked, this, [this] { UpRouteClick(); });

    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { showContextHelp(); });

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TQuorrte::setGrids(StringGrid &stages, StringGrid &catalogue)
{
    m_stages = &stages;
    m_catalogue = &catalogue;
}

void TQuorrte::setStageGridEnabler(std::function<void(bool)> enable)
{
    m_enableStageGrid = std::move(enable);
}

void TQuorrte::openForInsertion()
{
    guarded(m_platform, this, [this] {
        const int row = m_stages ? m_stages->row() : 0;
        setWindowTitle(kInsertionTitle + QString::number(row));
        show();
        raise();
        activateWindow();
    });
}

void TQuorrte::openForExport()
{
    guarded(m_platform, this, [this] {
        setWindowTitle(kExportTitle);
        show();
        raise();
        activateWindow();
    });
}

int TQuorrte::routeNumber() const
{
    return UpRoute->position();
}

bool TQuorrte::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    else if (event->type() == QEvent::WindowDeactivate)
        FormDeactivate();
    return QDialog::event(event);
}

void TQuorrte::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A window coming back from the task bar is not a new showing.
    if (!event->spontaneous())
        FormShow();
}

bool TQuorrte::isExportMode() const
{
    return windowTitle().startsWith(kExportModeLetter);
}

TQuorrte::~TQuorrte()
{
    // The list's view goes before the list it shows.
    delete LRoutes;
}

bool TQuorrte::isInsertionMode() const
{
    return windowTitle().startsWith(kInsertionModeLetter);
}

void TQuorrte::FormActivate()
{
    guarded(m_platform, this, [this] {
        m_routeLines.clear();
        m_routes.clear();
        if (isExportMode()) {
            exportSetUp();
        } else {
            RInserer->setText(kInsertCaption);
            NumRoute->hide();
            UpRoute->hide();
        }
        if (!RouteFiles::readRoutes(m_state, m_routeLines)) {
            m_routeLines.clear();
            hide();
            return;
        }
        m_routes.setItems(RouteFiles::routeNames(m_routeLines));
    });
}

void TQuorrte::exportSetUp()
{
    RInserer->setText(kExportCaption);
    UpRoute->setPosition(
        WaypointPlus::routeNumberForCatalogueRow(m_catalogue ? m_catalogue->row() : 0));
    showRouteNumber();
    NumRoute->show();
    UpRoute->show();
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(LRoutes),
                       static_cast<QWidget *>(NumRoute), static_cast<QWidget *>(Quitter),
                       static_cast<QWidget *>(RInserer), static_cast<QWidget *>(UpRoute)})
        w->setProperty(kHelpContextProperty, HelpContext::GpsExport);
}

void TQuorrte::showRouteNumber()
{
    const QString number = QString::number(UpRoute->position());
    NumRoute->setText(number);
    setWindowTitle(kExportNumberTitle + number);
}

void TQuorrte::FormShow()
{
    guarded(m_platform, this, [this] { RInserer->setEnabled(false); });
}

void TQuorrte::FormDeactivate()
{
    guarded(m_platform, this, [this] { m_routeLines.clear(); });
}

void TQuorrte::LRoutesClick()
{
    guarded(m_platform, this, [this] { RInserer->setEnabled(true); });
}

void TQuorrte::QuitterClick()
{
    guarded(m_platform, this, [this] { hide(); });
}

void TQuorrte::UpRouteClick()
{
    guarded(m_platform, this, [this] { showRouteNumber(); });
}

void TQuorrte::RInsererClick()
{
    guarded(m_platform, this, [this] {
        if (m_routes.current() < 0)
            return;
        const QString name = m_routes.currentText();
        const HideAtEnd hideAtEnd(this);

        const std::optional<QString> code = RouteFiles::routeCode(m_routeLines, name);
        if (!code)
            return;
        QStringList waypointLines;
        if (!RouteFiles::readWaypoints(m_state, *code, waypointLines))
            return;
        // A file shorter than one record holds no waypoint: there is nothing to
        // insert and no datum to export.
        if (RouteFiles::waypointCount(waypointLines) == 0)
            return;

        if (isInsertionMode())
            insertRoute(waypointLines);
        else if (isExportMode())
            exportRoute(name, waypointLines);
    });
}

void TQuorrte::insertRoute(const QStringList &waypointLines)
{
    if (!m_stages)
        return;
    const RouteInsertion::Result result =
        RouteInsertion::insert_route(*m_stages, waypointLines, m_enableStageGrid);
    // Where the project has an elevation model, the legs whose ground climbs
    // more than their ends say: the timetable only sees the ends, so the
    // walker may add a stage there.
    const QStringList climbs =
        TerrainSource::hiddenClimbs(m_state, waypointLines, result.stagesWritten);
    if (!climbs.isEmpty())
        m_platform.inform(this, climbs.join(QLatin1Char('\n')));
    if (result.waypointsLeftOut > 0)
        throw QuorError(RouteInsertion::waypointsLeftOutText(result.waypointsLeftOut));
}

void TQuorrte::exportRoute(const QString &routeName, const QStringList &waypointLines)
{
    // Taken before the save dialog: its closing activates this dialog again,
    // which resets the number and the route list.
    const int number = routeNumber();
    const std::optional<QString> path =
        m_platform.saveFile(this, kSaveTitle, m_state.projectDirectory(),
                            routeName + kProposedSuffix, kSaveFilter, kSaveExtension);
    if (!path)
        return;
    WaypointPlus::write(*path, WaypointPlus::lines(number, routeName, waypointLines));
}

void TQuorrte::showContextHelp()
{
    guarded(m_platform, this, [this] {
        for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget()) {
            const QVariant context = w->property(kHelpContextProperty);
            if (context.isValid()) {
                m_platform.showHelpContext(context.toInt());
                return;
            }
            if (w == this)
                break;
        }
        m_platform.showHelpContext(property(kHelpContextProperty).toInt());
    });
}
