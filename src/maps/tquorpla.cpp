#include "tquorpla.h"

#include "calibrationpanel.h"
#include "data/appstate.h"
#include "data/quorerror.h"
#include "editor/profilewindow.h"
#include "mapconversion.h"
#include "mapsession.h"
#include "mapview.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "routespanel.h"
#include "terrain/terrainchoice.h"
#include "verificationpanel.h"
#include "waypointspanel.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

namespace {

// Shown under the map while no picture could be loaded.
const QString kNotLoaded = QStringLiteral("La carte n'a pas pu être chargée : %1");

} // namespace

TQuorpla::TQuorpla(AppState &state, Platform &platform, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_platform(platform),
      m_session(std::make_unique<MapSession>(state))
{
    setObjectName(QStringLiteral("TQuorpla"));
    setProperty(kHelpContextProperty, HelpContext::Map);

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ScrollBox1 = new MapView(central);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setPicture(&m_session->picture());
    layout->addWidget(ScrollBox1, 1);

    MapPanelHost host{
        *m_session,
        m_platform,
        this,
        [this] { Button1Click(); },
        [this] { refresh(); },
        [this](Printout kind) -> QPrinter & { return m_printers[kind]; },
        [this](double easting, double northing, bool report) {
            return groundAltitude(easting, northing, report);
        },
        [this] {
            return !m_state.projectName.isEmpty() &&
                   !TerrainChoice::read(m_state.projectDirectory()).isEmpty();
        },
        [this] { chooseTerrain(); },
        [this] { showRouteProfile(); }};
    m_session->setGroundAltitude([this](double easting, double northing) {
        // With a model, a place where it has no value gives an empty altitude,
        // not the one the field still shows from the last waypoint.
        return m_terrain.hasModel()
                   ? std::optional(groundAltitude(easting, northing, true).value_or(QString()))
                   : std::nullopt;
    });
    Calibra = new CalibrationPanel(host, central);
    VerifCalibra = new VerificationPanel(host, central);
    Routes = new RoutesPanel(host, central);
    Waypoints = new WaypointsPanel(host, central);
    for (MapPanel *panel :
         std::initializer_list<MapPanel *>{Calibra, VerifCalibra, Routes, Waypoints})
        layout->addWidget(panel);
    setCentralWidget(central);

    connect(ScrollBox1, &MapView::pointerMoved, this,
            [this](Qt::KeyboardModifiers shift, int x, int y) { Image1MouseMove(shift, x, y); });
    connect(ScrollBox1, &MapView::clicked, this, [this] { Image1Click(); });
    connect(m_session.get(), &MapSession::changed, this, [this] { refresh(); });
    connect(m_session.get(), &MapSession::pictureReplaced, ScrollBox1,
            [this] { ScrollBox1->pictureChanged(); });
    connect(m_session.get(), &MapSession::pictureUpdated, ScrollBox1,
            [this](const QRegion &area) { ScrollBox1->pictureChanged(area); });
    connect(m_session.get(), &MapSession::scrollRequested, ScrollBox1, &MapView::scrollToCorner);
    // A big scan whose decoding failed after its first rows were
    // shown: the error display says why, as when the map opens.
    connect(m_session.get(), &MapSession::decodeFailed, this, [this](const QString &error) {
        guarded(m_platform, this, [&error] { throw QuorError(error); });
        refresh();
    });

    // "&Valider la calibration" is the window's cancel button.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (Calibra->isVisibleTo(this) && Calibra->ValiCalibr->isEnabled())
            Calibra->ValiCalibr->click();
    });

    refresh();
    // Activation is judged across all the program's windows: the map window
    // must see the others become active to know it was left.
    qApp->installEventFilter(this);
}

TQuorpla::~TQuorpla()
{
    qApp->removeEventFilter(this);
    // The panels show the session's lists: they go before the session.
    delete takeCentralWidget();
}

void TQuorpla::setCatalogueTitleSource(std::function<QString()> source)
{
    m_session->setCatalogueTitleSource(std::move(source));
}

QString TQuorpla::mapPath() const
{
    return windowTitle();
}

void TQuorpla::showMap(const QString &path)
{
    m_session->setMapPath(path);
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

void TQuorpla::refresh()
{
    if (windowTitle() != m_session->mapPath())
        setWindowTitle(m_session->mapPath());
    // The panels stay as they were, disabled, over the last picture loaded.
    // The map keeps the whole window, but for the line that says why a map
    // could not be loaded.
    if (m_session->loadFailed())
        statusBar()->showMessage(kNotLoaded.arg(m_session->loadError()));
    else if (findChild<QStatusBar *>())
        setStatusBar(nullptr);
    const MapSession::Panel shown = m_session->panel();
    const std::pair<MapPanel *, MapSession::Panel> panels[] = {
        {Calibra, MapSession::Panel::Calibration},
        {VerifCalibra, MapSession::Panel::Verification},
        {Routes, MapSession::Panel::Routes},
        {Waypoints, MapSession::Panel::Waypoints}};
    for (const auto &[panel, which] : panels) {
        panel->refresh();
        panel->setVisible(which == shown);
    }
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
    if (window->isModal() || window->property(kHelpWindowProperty).toBool() || type == Qt::Popup ||
        type == Qt::ToolTip || type == Qt::SplashScreen)
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

std::optional<QString> TQuorpla::groundAltitude(double easting, double northing, bool report)
{
    // Without a model nothing is converted: the pointer's moves load no
    // module.
    if (!m_terrain.hasModel())
        return std::nullopt;
    const std::optional<TerrainCommand::MapCover> map = mapCover();
    if (!map)
        return std::nullopt;
    return m_terrain.altitude(map->grid, map->area, easting, northing, report);
}

std::optional<TerrainCommand::MapCover> TQuorpla::mapCover() const
{
    if (!m_session->isReady())
        return std::nullopt;
    const MapSession::Verification &v = m_session->verification();
    const QSize size = m_session->picture().size();
    // The frame is worked out once for a map, not at every move.
    const MapTransform &t = m_session->transform();
    QStringList parts{v.zone, v.letter, v.datum, QString::number(size.width()),
                      QString::number(size.height())};
    for (const double coefficient : {t.c[0], t.c[1], t.c[2], t.d[0], t.d[1], t.d[2]})
        parts << QString::number(coefficient, 'g', 17);
    const QString key = parts.join(QLatin1Char(' '));
    if (key == m_coverKey)
        return m_cover;
    m_coverKey = key;
    m_cover = computeCover();
    return m_cover;
}

std::optional<TerrainCommand::MapCover> TQuorpla::computeCover() const
{
    const MapSession::Verification &v = m_session->verification();
    const QSize size = m_session->picture().size();
    const auto frame =
        TerrainSource::mapFrame(v.zone, v.letter, v.datum, m_session->transform(), size);
    if (!frame)
        return std::nullopt;
    const UtmReal a = PixelToUtm(m_session->transform(), 0, 0);
    const UtmReal b = PixelToUtm(m_session->transform(), size.width(), size.height());
    const auto corner = [](const UtmReal &p) {
        return Coordinates::GridPoint{double(p.easting), double(p.northing)};
    };
    return TerrainCommand::MapCover{frame->first, frame->second, corner(a), corner(b)};
}

void TQuorpla::showRouteProfile()
{
    if (!m_session->isReady() || m_session->pickedRoute().isEmpty())
        return;
    const std::optional<TerrainCommand::MapCover> map = mapCover();
    const MapTerrain *terrain = map ? m_terrain.terrain(map->grid, map->area, true) : nullptr;
    if (!terrain) {
        m_platform.inform(this, TerrainCommand::kNoTerrain);
        return;
    }
    const auto [points, header] = TerrainSource::routeProfile(*terrain, m_session->pickedRoute(),
                                                              m_session->pickedRouteLines());
    if (!m_routeProfile)
        m_routeProfile = new ProfileWindow(m_platform, this);
    m_routeProfile->setProfile(points, header);
    m_routeProfile->show();
    m_routeProfile->raise();
}

void TQuorpla::chooseTerrain()
{
    if (TerrainCommand::run(m_platform, this, m_state, mapCover()))
        m_terrain.forget();
}

void TQuorpla::FormActivate()
{
    // A model chosen from the main window meanwhile is read again.
    m_terrain.forget();
    guarded(m_platform, this, [this] { m_session->activate(); });
    refresh();
}

void TQuorpla::FormDeactivate()
{
    guarded(m_platform, this, [this] { m_session->release(); });
    refresh();
}

void TQuorpla::Button1Click()
{
    guarded(m_platform, this, [this] { close(); });
}

void TQuorpla::Image1MouseMove(Qt::KeyboardModifiers, int X, int Y)
{
    guarded(m_platform, this, [this, X, Y] { m_session->pointerMoved(X, Y); });
}

void TQuorpla::Image1Click()
{
    guarded(m_platform, this, [this] { m_session->click(); });
    refresh();
}
