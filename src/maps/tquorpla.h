#pragma once

#include "editor/printers.h"
#include "terraincommand.h"
#include "terrainsource.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

struct AppState;
class CalibrationPanel;
class MapSession;
class MapView;
class ProfileWindow;
class Platform;
class QPrinter;
class RoutesPanel;
class VerificationPanel;
class WaypointsPanel;

// The map window: one scanned map at full size in a scrolling view, with one
// of four side panels beside it (calibration, verification, routes,
// waypoints). Its data live in the map session; the window shows them and
// tells the session when it becomes active (which reloads the map, its
// calibration and the routes) and when it stops being active.
class TQuorpla : public QMainWindow
{
    Q_OBJECT
public:
    TQuorpla(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~TQuorpla() override;

    // The title of the catalogue's current row, proposed as a new route's name.
    void setCatalogueTitleSource(std::function<QString()> source);

    // Titles the window with the map's path and shows it, modeless, over the
    // desktop's work area; showing it activates it, which reloads everything.
    void showMap(const QString &path);

    // The map file: the window's title.
    QString mapPath() const;

    MapSession &session() { return *m_session; }
    const MapSession &session() const { return *m_session; }

    // Event handlers; each runs its body through the error guard.
    void FormActivate();
    void FormDeactivate();
    void Button1Click();
    void Image1MouseMove(Qt::KeyboardModifiers shift, int X, int Y);
    void Image1Click();

    // Whether the window counts as the program's active window.
    bool isMapActive() const { return m_activation != Activation::Inactive; }

    // The view and the panels, named as in the window's layout.
    MapView *ScrollBox1 = nullptr;
    CalibrationPanel *Calibra = nullptr;
    VerificationPanel *VerifCalibra = nullptr;
    RoutesPanel *Routes = nullptr;
    WaypointsPanel *Waypoints = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    enum class Activation {
        Inactive,
        // Shown by showMap and reset already; the window system's own
        // activation of it is still to come.
        Shown,
        Active
    };

    void windowActivated(QWidget *window);
    // The ground's altitude from the project's model at a position of the
    // map; none without a calibrated map or a model.
    std::optional<QString> groundAltitude(double easting, double northing, bool report);
    std::optional<TerrainCommand::MapCover> mapCover() const;
    std::optional<TerrainCommand::MapCover> computeCover() const;
    void chooseTerrain();
    void showRouteProfile();
    // Every panel and the title from the session, the session's panel shown.
    void refresh();

    AppState &m_state;
    Platform &m_platform;
    std::unique_ptr<MapSession> m_session;
    Activation m_activation = Activation::Inactive;
    // The full map's and the route areas': each keeps its own paper,
    // orientation and folder for the window's life.
    Printers m_printers;
    TerrainSource m_terrain{m_state};
    mutable QString m_coverKey; // the map whose frame m_cover is
    mutable std::optional<TerrainCommand::MapCover> m_cover;
    ProfileWindow *m_routeProfile = nullptr; // a child window, made when first asked for
};
