#include "tquorpla.h"

#include "data/appstate.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "editor/editmask.h"
#include "gps/routefiles.h"
#include "gps/updown.h"
#include "gridlabels.h"
#include "jfifdensity.h"
#include "mapprint.h"
#include "mapview.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "routedrawing.h"
#include "routelist.h"
#include "waypointlist.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <exception>

namespace {

const QColor kPanelColour(0, 255, 0);
const QColor kCaptionColour(255, 0, 0);
constexpr int kPanelWidth = 233;
constexpr int kRoutePanelWidth = 230;
constexpr int kPanelMargin = 8;
constexpr int kSpinnerWidth = 17;
constexpr int kSpinnerHeight = 24;

constexpr int kDefaultZone = 31;
constexpr int kMinZone = 0;
constexpr int kMaxZone = 60;
constexpr int kFirstLetter = 'C';
constexpr int kLastLetter = 'X';
constexpr int kDefaultLetter = 'U';
constexpr int kDatumEd50 = 1;
constexpr int kDatumWgs84 = 2;
const QString kEd50 = QStringLiteral("ED50");
const QString kWgs84 = QStringLiteral("WGS84");

// "Changer de carte" offers the pictures the map decoder reads.
const QString kMapFilter = QStringLiteral("Cartes JPEG|*.jpg;*.jpeg;*.jpe;*.jfif");
const QString kRouteTitleSeparator = QStringLiteral(" >");
constexpr int kRouteCodeLength = 2;

const QString kEastingMask = QStringLiteral("999999");
const QString kNorthingMask = QStringLiteral("9999999");
const QChar kUnfilledPosition = QLatin1Char(' ');

void setText(QLabel *label, const QString &text)
{
    if (label)
        label->setText(text);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

// The list boxes have at most one selected item; -1 when none is.
int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

// A selection made by the program is no click of the user: it runs no
// handler.
void selectRow(QListWidget *list, int row)
{
    const QSignalBlocker blocker(list);
    list->setCurrentRow(row);
    if (row < 0)
        list->clearSelection();
}

void insertRow(QListWidget *list, int row, const QString &text)
{
    const QSignalBlocker blocker(list);
    list->insertItem(row, text);
}

// Removing the selected item leaves nothing selected.
void removeRow(QListWidget *list, int row)
{
    {
        const QSignalBlocker blocker(list);
        delete list->takeItem(row);
    }
    selectRow(list, -1);
}

QStringList itemTexts(const QListWidget *list)
{
    QStringList texts;
    texts.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// Line `index` of a list, or the list index error.
const QString &lineAt(const QStringList &lines, qsizetype index)
{
    if (index < 0 || index >= lines.size())
        throwListIndex(int(index));
    return lines.at(index);
}

} // namespace

TQuorpla::TQuorpla(AppState &state, Platform &platform, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_platform(platform)
{
    setObjectName(QStringLiteral("TQuorpla"));
    setProperty(kHelpContextProperty, HelpContext::Map);

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ScrollBox1 = new MapView(central);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    layout->addWidget(ScrollBox1, 1);

    Calibra = makePanel(QStringLiteral("Calibra"), kPanelWidth);
    VerifCalibra = makePanel(QStringLiteral("VerifCalibra"), kPanelWidth);
    Routes = makePanel(QStringLiteral("Routes"), kRoutePanelWidth);
    Waypoints = makePanel(QStringLiteral("Waypoints"), kPanelWidth);
    for (QFrame *panel : {Calibra, VerifCalibra, Routes, Waypoints})
        layout->addWidget(panel);
    setCentralWidget(central);

    buildCalibrationPanel();
    buildVerificationPanel();
    buildRoutesPanel();
    buildWaypointsPanel();
    hidePanels();

    connect(ScrollBox1, &MapView::pointerMoved, this,
            [this](Qt::KeyboardModifiers shift, int x, int y) { Image1MouseMove(shift, x, y); });
    connect(ScrollBox1, &MapView::clicked, this, [this] { Image1Click(); });

    // "&Valider la calibration" is the window's cancel button.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (isPanelShown(Calibra) && ValiCalibr->isEnabled())
            ValiCalibr->click();
    });

    // Activation is judged across all the program's windows: the map window
    // must see the others become active to know it was left.
    qApp->installEventFilter(this);
}

TQuorpla::~TQuorpla()
{
    qApp->removeEventFilter(this);
}

QFrame *TQuorpla::makePanel(const QString &name, int width)
{
    auto *panel = new QFrame(centralWidget() ? centralWidget() : this);
    panel->setObjectName(name);
    panel->setFixedWidth(width);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, kPanelColour);
    pal.setColor(QPalette::WindowText, kCaptionColour);
    pal.setColor(QPalette::ButtonText, kCaptionColour);
    panel->setPalette(pal);
    return panel;
}

void TQuorpla::buildCalibrationPanel()
{
    auto *grid = new QGridLayout(Calibra);
    grid->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    int row = 0;
    grid->addWidget(caption(QStringLiteral("Calibration de la carte"), Calibra), row++, 0, 1, 3);
    grid->addWidget(caption(QStringLiteral("En UTM"), Calibra), row++, 0, 1, 3);
    grid->addWidget(caption(QStringLiteral("Zone"), Calibra), row, 0);
    grid->addWidget(caption(QStringLiteral("Lettre"), Calibra), row, 1);
    grid->addWidget(caption(QStringLiteral("Système"), Calibra), row++, 2);

    auto spinnerField = [this, grid, row](QLineEdit *&field, UpDown *&spinner, const QString &name,
                                          const QString &spinnerName, int column) {
        auto *box = new QWidget(Calibra);
        auto *h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(0);
        field = new QLineEdit(box);
        field->setObjectName(name);
        field->setEnabled(false);
        spinner = new UpDown(box);
        spinner->setObjectName(spinnerName);
        spinner->setFixedSize(kSpinnerWidth, kSpinnerHeight);
        h->addWidget(field);
        h->addWidget(spinner);
        grid->addWidget(box, row, column);
    };
    spinnerField(M_Zone, UpZone, QStringLiteral("M_Zone"), QStringLiteral("UpZone"), 0);
    spinnerField(M_lettre, UpLettre, QStringLiteral("M_lettre"), QStringLiteral("UpLettre"), 1);
    spinnerField(M_Systeme, UpSystem, QStringLiteral("M_Systeme"), QStringLiteral("UpSystem"), 2);
    ++row;

    UpZone->setRange(kMinZone, kMaxZone);
    UpZone->setPosition(kDefaultZone);
    M_Zone->setText(QString::number(kDefaultZone));
    UpLettre->setRange(kFirstLetter, kLastLetter);
    UpLettre->setPosition(kDefaultLetter);
    M_lettre->setText(QChar(kDefaultLetter));
    UpSystem->setRange(kDatumEd50, kDatumWgs84);
    UpSystem->setPosition(kDatumEd50);
    M_Systeme->setText(kEd50);
    connect(UpZone, &UpDown::clicked, this, [this] { UpZoneClick(); });
    connect(UpLettre, &UpDown::clicked, this, [this] { UpLettreClick(); });
    connect(UpSystem, &UpDown::clicked, this, [this] { UpSystemClick(); });

    const QString boxCaptions[3] = {QStringLiteral("Point 1 (haut-gauche)"),
                                    QStringLiteral("Point 2 (Bas-droit)"),
                                    QStringLiteral("Point 3 (Bas-gauche)")};
    for (int k = 0; k < 3; ++k) {
        const QString n = QString::number(k + 1);
        auto *box = new QCheckBox(boxCaptions[k], Calibra);
        box->setObjectName(QStringLiteral("CheckP") + n);
        grid->addWidget(box, row++, 0, 1, 3);
        m_pointBoxes[k] = box;
        connect(box, &QCheckBox::toggled, this, [this, box](bool checked) {
            if (checked)
                CheckPClick(box);
        });

        auto pointRow = [&](const QString &axis, QLabel *&pixel, QLineEdit *&field,
                            const QString &mask) {
            grid->addWidget(caption(axis + n, Calibra), row, 0);
            pixel = new QLabel(Calibra);
            pixel->setObjectName(axis + n + QStringLiteral("_i"));
            grid->addWidget(pixel, row, 1);
            field = new QLineEdit(Calibra);
            field->setObjectName(axis + n + QStringLiteral("_c"));
            auto *validator = new MaskValidator(mask, field);
            field->setValidator(validator);
            field->setMaxLength(validator->maxLength());
            grid->addWidget(field, row++, 2);
        };
        pointRow(QStringLiteral("X"), m_pixelX[k], m_eastings[k], kEastingMask);
        pointRow(QStringLiteral("Y"), m_pixelY[k], m_northings[k], kNorthingMask);
    }
    CheckP1 = m_pointBoxes[0];
    CheckP2 = m_pointBoxes[1];
    CheckP3 = m_pointBoxes[2];
    X1_i = m_pixelX[0];
    X2_i = m_pixelX[1];
    X3_i = m_pixelX[2];
    Y1_i = m_pixelY[0];
    Y2_i = m_pixelY[1];
    Y3_i = m_pixelY[2];
    X1_c = m_eastings[0];
    X2_c = m_eastings[1];
    X3_c = m_eastings[2];
    Y1_c = m_northings[0];
    Y2_c = m_northings[1];
    Y3_c = m_northings[2];

    ValiCalibr = new QPushButton(QStringLiteral("&Valider la calibration"), Calibra);
    ValiCalibr->setObjectName(QStringLiteral("ValiCalibr"));
    grid->addWidget(ValiCalibr, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    connect(ValiCalibr, &QPushButton::clicked, this, [this] { ValiCalibrClick(); });
}

void TQuorpla::buildVerificationPanel()
{
    auto *column = new QVBoxLayout(VerifCalibra);
    column->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    column->addWidget(caption(QStringLiteral("Calibration"), VerifCalibra));
    column->addWidget(caption(QStringLiteral("de la carte"), VerifCalibra));
    auto label = [this, column](QLabel *&target, const QString &name, const QString &text) {
        target = new QLabel(text, VerifCalibra);
        target->setObjectName(name);
        column->addWidget(target);
    };
    label(LZone, QStringLiteral("LZone"), QStringLiteral("Zone"));
    label(LLettre, QStringLiteral("LLettre"), QStringLiteral("Lettre"));
    label(LSysteme, QStringLiteral("LSysteme"), QStringLiteral("Système"));
    label(LX, QStringLiteral("LX"), QStringLiteral("X"));
    label(LY, QStringLiteral("LY"), QStringLiteral("Y"));
    label(LEchelle, QStringLiteral("LEchelle"), QStringLiteral("Echelle"));
    auto button = [this, column](QPushButton *&target, const QString &name, const QString &text) {
        target = new QPushButton(text, VerifCalibra);
        target->setObjectName(name);
        column->addWidget(target);
    };
    button(C_Bonne, QStringLiteral("C_Bonne"), QStringLiteral("Correcte"));
    button(C_Fauuse, QStringLiteral("C_Fauuse"), QStringLiteral("A Refaire"));
    button(Button1, QStringLiteral("Button1"), QStringLiteral("Quiter"));
    column->addStretch(1);
    connect(C_Bonne, &QPushButton::clicked, this, [this] { C_BonneClick(); });
    connect(C_Fauuse, &QPushButton::clicked, this, [this] { C_FauuseClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TQuorpla::setCatalogueTitleSource(std::function<QString()> source)
{
    m_catalogueTitle = std::move(source);
}

QString TQuorpla::mapPath() const
{
    return windowTitle();
}

void TQuorpla::showMap(const QString &path)
{
    setWindowTitle(path);
    if (!isVisible()) {
        // Maximised, the window fills the work area with its frame; the
        // geometry serves where no window manager maximises it.
        if (QScreen *s = screen())
            setGeometry(s->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    show();
    raise();
    activateWindow();
    // The reset runs now rather than when the window system gets round to
    // activating the window, which some refuse to do.
    m_activation = QApplication::activeWindow() == this ? Activation::Active : Activation::Shown;
    FormActivate();
}

// ---------------------------------------------------------------- activation

bool TQuorpla::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow())
            windowActivated(widget);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TQuorpla::windowActivated(QWidget *window)
{
    // The file, print and error dialogs are modal and come and go inside a
    // command; popups are no windows of the program, and the help viewer
    // stands for the system's help program. Another program taking over
    // activates none of our windows at all.
    const Qt::WindowType type = window->windowType();
    if (window->isModal() || window->property(kHelpWindowProperty).toBool() ||
        type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen)
        return;
    if (window == this) {
        const bool wasInactive = m_activation == Activation::Inactive;
        m_activation = Activation::Active;
        if (wasInactive)
            FormActivate();
    } else if (m_activation == Activation::Active) {
        // While still only shown, the window that asked for the map may get
        // its activation back for a moment: that is no leaving.
        m_activation = Activation::Inactive;
        FormDeactivate();
    }
}

void TQuorpla::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous() && m_activation != Activation::Inactive) {
        m_activation = Activation::Inactive;
        FormDeactivate();
    }
}

void TQuorpla::FormActivate()
{
    guarded(m_platform, this, [this] {
        m_calibrationLines.clear();
        m_routeLines.clear();
        m_waypointLines.clear();
        ResetMapWindow();
    });
}

void TQuorpla::FormDeactivate()
{
    guarded(m_platform, this, [this] {
        m_calibrationLines.clear();
        m_routeLines.clear();
        m_waypointLines.clear();
        // The decoded picture stays in the cache for the next activation.
        m_clean = QImage();
    });
}

// --------------------------------------------------------------------- reset

void TQuorpla::loadMapImage()
{
    const QString path = mapPath();
    if (!m_imageCache.isCurrent(path)) {
        // A new or changed file: the displayed picture drops its drawings
        // first, so that decoding holds no more than one other full-size
        // picture.
        ScrollBox1->setPicture(m_imageCache.image());
    }
    try {
        m_clean = m_imageCache.load(path);
    } catch (...) {
        // The picture stays the last map decoded.
        m_clean = m_imageCache.image();
        throw;
    }
    ScrollBox1->setPicture(m_clean);
}

void TQuorpla::ResetMapWindow()
{
    loadMapImage();
    if (RLNouvelle && m_catalogueTitle)
        RLNouvelle->setText(m_catalogueTitle());
    UpZone->setPosition(kDefaultZone);
    M_Zone->setText(QString::number(UpZone->position()));
    UpLettre->setRange(kFirstLetter, kLastLetter);
    UpLettre->setPosition(kDefaultLetter);
    M_lettre->setText(QChar(UpLettre->position()));
    CheckP1->setChecked(true);
    hidePanels();
    if (RWaypoints)
        RWaypoints->setEnabled(false);
    if (RSupprimer)
        RSupprimer->setEnabled(false);

    bool calibrated = false;
    try {
        calibrated = LoadCalibration();
    } catch (const QuorError &error) {
        // A damaged calibration file must not leave the window without a
        // panel: the user sees why, then validates a new calibration that
        // replaces the file.
        m_platform.showError(this, error.text());
    }
    (calibrated ? VerifCalibra : Calibra)->show();
    loadRoutes();
}

void TQuorpla::loadRoutes()
{
    // A missing or unreadable file is a project without routes.
    RouteFiles::readRoutes(m_state, m_routeLines);
    const QSignalBlocker blocker(ChRoutes);
    ChRoutes->clear();
    ChRoutes->addItems(RouteFiles::routeNames(m_routeLines));
}

void TQuorpla::hidePanels()
{
    for (QFrame *panel : {Calibra, VerifCalibra, Routes, Waypoints})
        panel->hide();
}

bool TQuorpla::isPanelShown(const QWidget *panel) const
{
    return panel->isVisibleTo(this);
}

// --------------------------------------------------------------- calibration

void TQuorpla::UpZoneClick()
{
    guarded(m_platform, this, [this] { M_Zone->setText(QString::number(UpZone->position())); });
}

void TQuorpla::UpLettreClick()
{
    guarded(m_platform, this, [this] { M_lettre->setText(QChar(UpLettre->position())); });
}

void TQuorpla::UpSystemClick()
{
    guarded(m_platform, this,
            [this] { M_Systeme->setText(UpSystem->position() == kDatumEd50 ? kEd50 : kWgs84); });
}

void TQuorpla::CheckPClick(QCheckBox *box)
{
    guarded(m_platform, this, [this, box] {
        for (QCheckBox *other : m_pointBoxes) {
            if (other != box)
                other->setChecked(false);
        }
        // Each point is expected near its own corner of the map.
        if (box == CheckP1)
            ScrollBox1->scrollToCorner(false, false);
        else if (box == CheckP2)
            ScrollBox1->scrollToCorner(true, true);
        else
            ScrollBox1->scrollToCorner(false, true);
    });
}

QString TQuorpla::pointFieldText(const QLineEdit *field) const
{
    QString text = field->text();
    if (text.size() < field->maxLength())
        text.append(QString(field->maxLength() - text.size(), kUnfilledPosition));
    return text;
}

CalibrationTexts TQuorpla::pointTexts() const
{
    CalibrationTexts texts;
    for (int k = 0; k < 3; ++k) {
        texts[k].x = m_pixelX[k]->text();
        texts[k].easting = pointFieldText(m_eastings[k]);
        texts[k].y = m_pixelY[k]->text();
        texts[k].northing = pointFieldText(m_northings[k]);
    }
    return texts;
}

QStringList TQuorpla::calibrationFieldLines() const
{
    QStringList lines(CalibrationLine::Count);
    lines[CalibrationLine::Zone] = M_Zone->text();
    lines[CalibrationLine::Letter] = M_lettre->text();
    lines[CalibrationLine::Datum] = M_Systeme->text();
    const CalibrationTexts texts = pointTexts();
    for (int k = 0; k < 3; ++k) {
        using namespace CalibrationLine;
        lines[of(k, PixelX)] = texts[k].x;
        lines[of(k, Easting)] = texts[k].easting;
        lines[of(k, PixelY)] = texts[k].y;
        lines[of(k, Northing)] = texts[k].northing;
    }
    return lines;
}

bool TQuorpla::ComputeCalibration()
{
    if (!computeTransformFromTexts(m_transform, pointTexts()))
        return false;
    // The header is read again at every computation: the file may have been
    // replaced since.
    const JfifDensity density = readJfifDensity(mapPath());
    m_unitsCode = density.unitsCode;
    m_xdens = density.xdens;
    m_ydens = density.ydens;
    const qint64 scale = MapScale(m_transform.c[1], m_transform.d[2], density.xdens, density.ydens,
                                  density.unitsCode);
    LEchelle->setText(QString::number(scale));
    return true;
}

void TQuorpla::ValiCalibrClick()
{
    guarded(m_platform, this, [this] {
        if (!ComputeCalibration())
            return;
        Calibra->hide();
        VerifCalibra->show();
        const QStringList lines = calibrationFieldLines();
        m_calibrationLines = lines;
        LZone->setText(lines[CalibrationLine::Zone]);
        setText(WZone, lines[CalibrationLine::Zone]);
        LLettre->setText(lines[CalibrationLine::Letter]);
        setText(WLettre, lines[CalibrationLine::Letter]);
        LSysteme->setText(lines[CalibrationLine::Datum]);
        setText(WSysteme, lines[CalibrationLine::Datum]);
        LineList::write(calibrationFileName(mapPath()), lines);
    });
}

bool TQuorpla::LoadCalibration()
{
    QStringList lines;
    if (!LineList::read(calibrationFileName(mapPath()), lines))
        return false;
    m_calibrationLines = lines;
    const QString &zone = calibrationLine(lines, CalibrationLine::Zone);
    LZone->setText(zone);
    setText(WZone, zone);
    const QString &letter = calibrationLine(lines, CalibrationLine::Letter);
    LLettre->setText(letter);
    setText(WLettre, letter);
    const QString &datum = calibrationLine(lines, CalibrationLine::Datum);
    LSysteme->setText(datum);
    setText(WSysteme, datum);
    for (int k = 0; k < 3; ++k) {
        using namespace CalibrationLine;
        m_pixelX[k]->setText(calibrationLine(lines, of(k, PixelX)));
        m_eastings[k]->setText(calibrationLine(lines, of(k, Easting)));
        m_pixelY[k]->setText(calibrationLine(lines, of(k, PixelY)));
        m_northings[k]->setText(calibrationLine(lines, of(k, Northing)));
    }
    ComputeCalibration();
    return true;
}

void TQuorpla::C_BonneClick()
{
    guarded(m_platform, this, [this] {
        DrawGridLabels();
        VerifCalibra->hide();
        Routes->show();
    });
}

void TQuorpla::C_FauuseClick()
{
    guarded(m_platform, this, [this] {
        VerifCalibra->hide();
        Calibra->show();
    });
}

void TQuorpla::Button1Click()
{
    guarded(m_platform, this, [this] { close(); });
}

// ------------------------------------------------------------------ the view

QImage &TQuorpla::displayedPicture()
{
    return ScrollBox1->picture();
}

void TQuorpla::displayedPictureChanged()
{
    ScrollBox1->pictureChanged();
}

void TQuorpla::Image1MouseMove(Qt::KeyboardModifiers, int X, int Y)
{
    guarded(m_platform, this, [this, X, Y] {
        if (isPanelShown(Calibra)) {
            for (int k = 0; k < 3; ++k) {
                if (m_pointBoxes[k]->isChecked()) {
                    m_pixelX[k]->setText(QString::number(X));
                    m_pixelY[k]->setText(QString::number(Y));
                }
            }
        }
        const UtmReal utm = PixelToUtm(m_transform, X, Y);
        const QString easting = QString::number(roundHalfEven(utm.easting));
        const QString northing = QString::number(roundHalfEven(utm.northing));
        if (isPanelShown(VerifCalibra)) {
            LX->setText(easting);
            LY->setText(northing);
        }
        if (isPanelShown(Waypoints)) {
            setText(WX, easting);
            setText(WY, northing);
        }
    });
}

void TQuorpla::Image1Click()
{
    guarded(m_platform, this, [this] {
        if (isPanelShown(Calibra)) {
            for (QCheckBox *box : m_pointBoxes)
                box->setChecked(false);
        }
        if (isPanelShown(Waypoints))
            placeWaypointClick();
    });
}

void TQuorpla::placeWaypointClick()
{
    // The label is looked for again at the click: a save that failed since
    // the last drawing already took the one drawn then.
    const std::optional<QString> label =
        WaypointList::freeWaypointLabel(routeCode(), m_waypointLines);
    if (!label)
        throw QuorError(WaypointList::noFreeLabelMessage(routeCode()));
    m_pendingWaypointLabel = *label;
    // After the selected item; at the end when it is the last or the list is
    // empty, at the top when nothing is selected.
    insertRow(WPoints, selectedRow(WPoints) + 1, m_pendingWaypointLabel);
    WCarte->setText(QFileInfo(mapPath()).fileName());
    saveAndDraw();
}

void TQuorpla::DrawGridLabels()
{
    QImage &picture = displayedPicture();
    picture = m_clean;
    m_pictureFont = gridLabelFont(m_xdens);
    if (!picture.isNull()) {
        QPainter painter(&picture);
        painter.setFont(m_pictureFont);
        painter.setPen(GridLabels::kColour);
        PainterLabelCanvas canvas(painter);
        drawGridLabels(canvas, m_transform, picture.width(), picture.height(),
                       gridTitle(LZone->text(), LLettre->text(), LSysteme->text()));
    }
    displayedPictureChanged();
}

// -------------------------------------------------------------------- routes

void TQuorpla::buildRoutesPanel()
{
    auto *column = new QVBoxLayout(Routes);
    column->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    column->addWidget(caption(QStringLiteral("Routes"), Routes));
    auto button = [this, column](QPushButton *&target, const QString &name, const QString &text) {
        target = new QPushButton(text, Routes);
        target->setObjectName(name);
        column->addWidget(target);
    };
    auto edit = [this, column](QLineEdit *&target, const QString &name, bool readOnly) {
        target = new QLineEdit(Routes);
        target->setObjectName(name);
        target->setReadOnly(readOnly);
        column->addWidget(target);
    };
    button(RWaypoints, QStringLiteral("RWaypoints"), QStringLiteral("Listes des WayPoints"));
    edit(RLWaypoints, QStringLiteral("RLWaypoints"), true);
    ChRoutes = new QListWidget(Routes);
    ChRoutes->setObjectName(QStringLiteral("ChRoutes"));
    ChRoutes->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(ChRoutes, 1);
    button(RNouvelle, QStringLiteral("RNouvelle"), QStringLiteral("Nouvelle"));
    edit(RLNouvelle, QStringLiteral("RLNouvelle"), false);
    button(RSupprimer, QStringLiteral("RSupprimer"), QStringLiteral("Supprimer"));
    edit(RLsupprimer, QStringLiteral("RLsupprimer"), true);
    button(Button2, QStringLiteral("Button2"), QStringLiteral("Quiter"));
    RWaypoints->setEnabled(false);
    RSupprimer->setEnabled(false);

    // A click on the selected item changes no selection but is a click.
    connect(ChRoutes, &QListWidget::itemSelectionChanged, this, [this] { ChRoutesClick(); });
    connect(ChRoutes, &QListWidget::itemClicked, this, [this] { ChRoutesClick(); });
    connect(RWaypoints, &QPushButton::clicked, this, [this] { RWaypointsClick(); });
    connect(RNouvelle, &QPushButton::clicked, this, [this] { RNouvelleClick(); });
    connect(RSupprimer, &QPushButton::clicked, this, [this] { RSupprimerClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TQuorpla::saveRoutes()
{
    m_routeLines = RouteList::rebuildRouteLines(itemTexts(ChRoutes), m_routeLines);
    LineList::write(RouteFiles::routesPath(m_state), m_routeLines);
}

void TQuorpla::ChRoutesClick()
{
    guarded(m_platform, this, [this] {
        const int row = selectedRow(ChRoutes);
        // A click beside the items picks no route.
        if (row < 0)
            return;
        const QString name = ChRoutes->item(row)->text();
        RLWaypoints->setText(name);
        RLsupprimer->setText(name);
        RWaypoints->setEnabled(true);
        RSupprimer->setEnabled(true);
    });
}

void TQuorpla::RNouvelleClick()
{
    guarded(m_platform, this, [this] {
        const QString name = RLNouvelle->text();
        if (!RouteList::acceptsNewName(name, itemTexts(ChRoutes)))
            return;
        if (!RouteList::freeRouteCode(m_routeLines))
            throw QuorError(RouteList::noFreeCodeMessage());
        insertRow(ChRoutes, selectedRow(ChRoutes) + 1, name);
        saveRoutes();
    });
}

void TQuorpla::RSupprimerClick()
{
    guarded(m_platform, this, [this] {
        const int row = selectedRow(ChRoutes);
        if (row >= 0)
            removeRow(ChRoutes, row);
        saveRoutes();
    });
}

void TQuorpla::RWaypointsClick()
{
    guarded(m_platform, this, [this] {
        // A route deleted since it was picked has no code to open: the
        // routes panel stays.
        const qsizetype k = RouteFiles::findLine(m_routeLines, RLWaypoints->text());
        if (k < 0 || k + 1 >= m_routeLines.size())
            return;
        Routes->hide();
        Waypoints->show();
        Label25->setText(m_routeLines.at(k) + kRouteTitleSeparator + m_routeLines.at(k + 1));
        openRoute();
    });
}

// ----------------------------------------------------------------- waypoints

void TQuorpla::buildWaypointsPanel()
{
    auto *grid = new QGridLayout(Waypoints);
    grid->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    constexpr int kColumns = 3;
    int row = 0;
    Label25 = new QLabel(Waypoints);
    Label25->setObjectName(QStringLiteral("Label25"));
    grid->addWidget(Label25, row++, 0, 1, kColumns);
    grid->addWidget(caption(QStringLiteral("Zone"), Waypoints), row, 0);
    grid->addWidget(caption(QStringLiteral("Lettre"), Waypoints), row, 1);
    grid->addWidget(caption(QStringLiteral("Système"), Waypoints), row++, 2);
    auto text = [this](QLabel *&target, const QString &name) {
        target = new QLabel(Waypoints);
        target->setObjectName(name);
        return target;
    };
    grid->addWidget(text(WZone, QStringLiteral("WZone")), row, 0);
    grid->addWidget(text(WLettre, QStringLiteral("WLettre")), row, 1);
    grid->addWidget(text(WSysteme, QStringLiteral("WSysteme")), row++, 2);
    auto field = [&](const QString &title, QWidget *value) {
        grid->addWidget(caption(title, Waypoints), row, 0);
        grid->addWidget(value, row++, 1, 1, kColumns - 1);
    };
    field(QStringLiteral("Carte"), text(WCarte, QStringLiteral("WCarte")));
    field(QStringLiteral("X"), text(WX, QStringLiteral("WX")));
    field(QStringLiteral("Y"), text(WY, QStringLiteral("WY")));
    WZ = new QLineEdit(Waypoints);
    WZ->setObjectName(QStringLiteral("WZ"));
    field(QStringLiteral("Altitude"), WZ);

    auto button = [&](QPushButton *&target, const QString &name, const QString &title) {
        target = new QPushButton(title, Waypoints);
        target->setObjectName(name);
        grid->addWidget(target, row++, 0, 1, kColumns);
    };
    button(Wnouveau, QStringLiteral("Wnouveau"), QStringLiteral("Changer de carte"));
    button(WImprimer, QStringLiteral("WImprimer"), QStringLiteral("Imprimer"));
    grid->addWidget(caption(QStringLiteral("Carte"), Waypoints), row++, 0, 1, kColumns);
    button(WDessiner, QStringLiteral("WDessiner"), QStringLiteral("Redessiner"));
    button(Wsupprimer, QStringLiteral("Wsupprimer"), QStringLiteral("Supprimer"));
    WPoints = new QListWidget(Waypoints);
    WPoints->setObjectName(QStringLiteral("WPoints"));
    WPoints->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->addWidget(WPoints, row, 0, 1, kColumns);
    grid->setRowStretch(row++, 1);
    grid->addWidget(caption(QStringLiteral("Etiquette"), Waypoints), row++, 0, 1, kColumns);
    auto small = [&](QPushButton *&target, const QString &name, const QString &title, int r,
                     int c) {
        target = new QPushButton(title, Waypoints);
        target->setObjectName(name);
        target->setEnabled(false);
        grid->addWidget(target, r, c);
    };
    small(WHaut, QStringLiteral("WHaut"), QStringLiteral("Haut"), row, 1);
    small(WGauche, QStringLiteral("WGauche"), QStringLiteral("Gauch"), row + 1, 0);
    small(WDroit, QStringLiteral("WDroit"), QStringLiteral("Droit"), row + 1, 2);
    small(WBas, QStringLiteral("WBas"), QStringLiteral("Bas"), row + 2, 1);
    row += 3;
    button(Button3, QStringLiteral("Button3"), QStringLiteral("Quiter"));
    Wsupprimer->setEnabled(false);

    connect(WPoints, &QListWidget::itemSelectionChanged, this, [this] { WPointsClick(); });
    connect(WPoints, &QListWidget::itemClicked, this, [this] { WPointsClick(); });
    // Every change of the text, typed or shown by a selection, is stored.
    connect(WZ, &QLineEdit::textChanged, this, [this] { WZChange(); });
    connect(Wnouveau, &QPushButton::clicked, this, [this] { WnouveauClick(); });
    connect(WImprimer, &QPushButton::clicked, this, [this] { WImprimerClick(); });
    connect(WDessiner, &QPushButton::clicked, this, [this] { WDessinerClick(); });
    connect(Wsupprimer, &QPushButton::clicked, this, [this] { WsupprimerClick(); });
    connect(WHaut, &QPushButton::clicked, this, [this] { WHautClick(); });
    connect(WBas, &QPushButton::clicked, this, [this] { WBasClick(); });
    connect(WGauche, &QPushButton::clicked, this, [this] { WGaucheClick(); });
    connect(WDroit, &QPushButton::clicked, this, [this] { WDroitClick(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button1Click(); });
}

QString TQuorpla::routeCode() const
{
    return Label25->text().right(kRouteCodeLength);
}

QString TQuorpla::waypointFilePath() const
{
    return RouteFiles::waypointPath(m_state, routeCode());
}

void TQuorpla::openRoute()
{
    // A route without a readable file is an empty route.
    RouteFiles::readWaypoints(m_state, routeCode(), m_waypointLines);
    {
        const QSignalBlocker blocker(WPoints);
        WPoints->clear();
        WPoints->addItems(WaypointList::labels(m_waypointLines));
    }
    drawWaypoints();
}

void TQuorpla::drawWaypoints()
{
    // With every label in use the pending one stays as it was; a click then
    // refuses to add a point.
    if (const std::optional<QString> label =
            WaypointList::freeWaypointLabel(routeCode(), m_waypointLines))
        m_pendingWaypointLabel = *label;
    const RouteStyle style = routeStyle(m_xdens, m_ydens);
    QList<RouteMark> marks;
    // What comes before a damaged record is drawn all the same.
    std::exception_ptr failure;
    try {
        routeMarks(m_transform, style, m_waypointLines, marks);
    } catch (...) {
        failure = std::current_exception();
    }
    QImage &picture = displayedPicture();
    if (!picture.isNull()) {
        const QFontMetrics metrics(m_pictureFont, &picture);
        // Drawing the whole route again over itself changes only where its
        // marks differ from the last drawing's; a picture changed since
        // gets every mark.
        std::optional<QRegion> area;
        if (picture.cacheKey() == m_drawnPictureKey)
            area = redrawArea(m_drawnMarks, marks, metrics, style.penWidth);
        QRegion changed;
        if (area) {
            changed = *area & picture.rect();
        } else {
            for (const RouteMark &mark : marks)
                changed += markArea(mark, metrics, style.penWidth) & picture.rect();
        }
        if (!changed.isEmpty()) {
            QPainter painter(&picture);
            painter.setFont(m_pictureFont);
            if (area)
                painter.setClipRegion(changed);
            PainterRouteCanvas canvas(painter);
            drawMarks(canvas, style, marks);
        }
        m_drawnMarks = marks;
        m_drawnPictureKey = picture.cacheKey();
        ScrollBox1->pictureChanged(changed);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TQuorpla::saveAndDraw()
{
    const WaypointList::PanelTexts panel{WX->text(),      WY->text(),    WZ->text(),
                                         WCarte->text(),  WZone->text(), WLettre->text(),
                                         WSysteme->text()};
    m_waypointLines =
        WaypointList::rebuildWaypointLines(itemTexts(WPoints), m_waypointLines, panel);
    LineList::write(waypointFilePath(), m_waypointLines);
    drawWaypoints();
    selectRow(WPoints, WPoints->count() - 1);
}

void TQuorpla::WPointsClick()
{
    guarded(m_platform, this, [this] {
        const int row = selectedRow(WPoints);
        if (row >= 0) {
            const qsizetype k = RouteFiles::findLine(m_waypointLines, WPoints->item(row)->text());
            if (k >= 0) {
                WX->setText(lineAt(m_waypointLines, k + RouteFiles::Easting));
                WY->setText(lineAt(m_waypointLines, k + RouteFiles::Northing));
                // A different altitude shown here is stored again by WZChange.
                WZ->setText(lineAt(m_waypointLines, k + RouteFiles::Altitude));
                WCarte->setText(lineAt(m_waypointLines, k + RouteFiles::MapName));
            }
        }
        for (QPushButton *button : {Wsupprimer, WHaut, WBas, WGauche, WDroit})
            button->setEnabled(true);
    });
}

void TQuorpla::WZChange()
{
    guarded(m_platform, this, [this] {
        const int row = selectedRow(WPoints);
        if (row < 0)
            return;
        const qsizetype k = RouteFiles::findLine(m_waypointLines, WPoints->item(row)->text());
        if (k < 0)
            return;
        const qsizetype altitude = k + RouteFiles::Altitude;
        // A record cut short fails as a list index, never writes past it.
        lineAt(m_waypointLines, altitude);
        m_waypointLines[altitude] = WZ->text();
        LineList::write(waypointFilePath(), m_waypointLines);
    });
}

void TQuorpla::moveSelectedLabel(int offsetLine, int delta)
{
    const int row = selectedRow(WPoints);
    if (row < 0)
        return;
    const qsizetype k = RouteFiles::findLine(m_waypointLines, WPoints->item(row)->text());
    if (k < 0)
        return;
    WaypointList::moveLabel(m_waypointLines, k, RouteFiles::WaypointLine(offsetLine), delta);
    DrawGridLabels();
    saveAndDraw();
}

void TQuorpla::WHautClick()
{
    guarded(m_platform, this,
            [this] { moveSelectedLabel(RouteFiles::LabelOffsetY, -WaypointList::kLabelStep); });
}

void TQuorpla::WBasClick()
{
    guarded(m_platform, this,
            [this] { moveSelectedLabel(RouteFiles::LabelOffsetY, WaypointList::kLabelStep); });
}

void TQuorpla::WGaucheClick()
{
    guarded(m_platform, this,
            [this] { moveSelectedLabel(RouteFiles::LabelOffsetX, -WaypointList::kLabelStep); });
}

void TQuorpla::WDroitClick()
{
    guarded(m_platform, this,
            [this] { moveSelectedLabel(RouteFiles::LabelOffsetX, WaypointList::kLabelStep); });
}

void TQuorpla::WsupprimerClick()
{
    guarded(m_platform, this, [this] {
        const int row = selectedRow(WPoints);
        if (row >= 0)
            removeRow(WPoints, row);
        DrawGridLabels();
        saveAndDraw();
    });
}

void TQuorpla::WDessinerClick()
{
    guarded(m_platform, this, [this] {
        DrawGridLabels();
        saveAndDraw();
    });
}

void TQuorpla::WnouveauClick()
{
    guarded(m_platform, this, [this] {
        const std::optional<QString> path =
            m_platform.openFile(this, m_state.programDirectory + m_state.projectName, kMapFilter);
        if (!path)
            return;
        setWindowTitle(*path);
        ResetMapWindow();
    });
}

QPrinter &TQuorpla::mapPrinter()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TQuorpla::WImprimerClick()
{
    guarded(m_platform, this, [this] {
        printMap(m_platform, this, mapPrinter(), displayedPicture(), m_xdens, m_ydens);
    });
}
