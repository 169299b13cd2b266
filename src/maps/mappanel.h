#pragma once

#include <QFrame>

#include <functional>
#include <optional>

class MapSession;
class Platform;
class QLabel;
class QLineEdit;
class QPrinter;
enum class Printout;
class QPushButton;

// What the side panels of the map window share: the session they show and
// act on, and the few services of the window around them.
struct MapPanelHost
{
    MapSession &session;
    Platform &platform;
    // The map window: parent of dialogs and of the error display.
    QWidget *window;
    // "Quiter": closes the map window.
    std::function<void()> quit;
    // Shows the whole session again: every panel and which one is visible.
    std::function<void()> refresh;
    // The window's printer for each kind of printout, kept for its life.
    std::function<QPrinter &(Printout)> printer;
    // The ground's altitude at a position of the map from the project's
    // elevation model, in whole metres; none without a model or where it has
    // none. With `report`, a model that cannot be used throws its message
    // (once).
    std::function<std::optional<QString>(double easting, double northing, bool report)>
        groundAltitude;
    // Whether the project has chosen an elevation model.
    std::function<bool()> hasTerrain;
    // "Modèle de terrain…".
    std::function<void()> chooseTerrain;
    // "Profil": the picked route's profile on the ground.
    std::function<void()> showRouteProfile;
};

// One side panel of the map window, docked on its right: lime green with red
// captions. It shows the session and forwards each handler to it.
class MapPanel : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kWidth = 233;
    static constexpr int kMargin = 8;

    MapPanel(const QString &name, int width, MapPanelHost host, QWidget *parent);

    // Shows the session's state in the controls.
    virtual void refresh() = 0;

protected:
    // Runs a handler's body through the error guard, then shows the session
    // as it stands, whether the body ended or failed half-way.
    void run(const std::function<void()> &body);
    // For the commands that read the scan's pixels: waits, with the busy
    // pointer, for a big scan still decoding.
    void waitForScan();

    QLabel *caption(const QString &text);
    QPushButton *button(const QString &name, const QString &text);
    // Set only when different, so that a field being typed in keeps its
    // cursor; no handler runs.
    static void display(QLabel *label, const QString &text);
    static void display(QLineEdit *field, const QString &text);

    MapSession &m_session;
    MapPanelHost m_host;
};
