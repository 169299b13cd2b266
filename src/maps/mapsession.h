#pragma once

#include "calibration.h"
#include "data/routefiles.h"
#include "data/stringlist.h"
#include "mapimagecache.h"
#include "mapconversion.h"
#include "mapoverlay.h"
#include "routedrawing.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

struct AppState;
class BackgroundDecode;

// The map window's working data and every operation of its panels, without
// a widget: the map file, its clean and displayed pictures, the calibration,
// the routes and the open route's waypoints. The panels only show this state
// and forward their handlers here; no operation reads a widget.
//
// The lists are released whenever the window stops being active and reloaded
// at the next activation. While they are released, or after a reset that
// failed, the session is not ready: every operation then does nothing, so
// nothing is ever written from emptied lists.
class MapSession : public QObject
{
    Q_OBJECT
public:
    enum class Panel { None, Calibration, Verification, Routes, Waypoints };

    // The calibration panel's fields. The spinners' positions give the zone,
    // letter and datum texts; the point texts are as typed or captured.
    struct CalibrationForm
    {
        int zone = 31;
        int letter = 'U';
        int datum = 1;
        CalibrationTexts points;
        std::array<bool, 3> checked{};
    };

    // The verification panel's labels, with their captions until a
    // calibration is read.
    struct Verification
    {
        QString zone = QStringLiteral("Zone");
        QString letter = QStringLiteral("Lettre");
        QString datum = QStringLiteral("Système");
        QString x = QStringLiteral("X");
        QString y = QStringLiteral("Y");
        QString scale = QStringLiteral("Echelle");
    };

    // The waypoint panel's texts: the current map's calibration, the map
    // name, the pointer's (or the selected waypoint's) position and the
    // altitude. A new waypoint is made of them.
    struct WaypointTexts
    {
        QString zone;
        QString letter;
        QString datum;
        QString mapName;
        QString easting;
        QString northing;
        QString altitude;
    };

    static constexpr int kDefaultZone = 31;
    static constexpr int kMinZone = 0;
    static constexpr int kMaxZone = 60;
    static constexpr int kFirstLetter = 'C';
    static constexpr int kLastLetter = 'X';
    static constexpr int kDefaultLetter = 'U';
    static constexpr int kDatumEd50 = 1;
    static constexpr int kDatumWgs84 = 2;
    // The digits of the easting and northing fields; a value typed from the
    // left must fill them all.
    static constexpr int kEastingDigits = 6;
    static constexpr int kNorthingDigits = 7;

    explicit MapSession(AppState &state, QObject *parent = nullptr);
    ~MapSession() override;

    // The title of the catalogue's current row, proposed as a new route's name.
    void setCatalogueTitleSource(std::function<QString()> source);

    // ------------------------------------------------------------ the map
    const QString &mapPath() const { return m_mapPath; }
    void setMapPath(const QString &path);
    // The window became active: new lists, then the reset.
    void activate();
    // The window stopped being active: the lists and the clean picture's
    // pixels are released until the next activation.
    void release();
    // Loads the picture, resets the calibration panel, reads the calibration
    // and the routes. A picture that cannot be loaded leaves the displayed
    // picture as it was and the session not ready; a damaged calibration file
    // is thrown once the reset is complete, on the calibration panel.
    void reset();
    // "Changer de carte" with a file chosen.
    void changeMap(const QString &path);
    bool isReady() const { return m_ready; }
    // The last reset could not load the picture: the panels cannot act until
    // a reset loads one.
    bool loadFailed() const { return m_loadFailed; }
    // Why it failed, as the error display showed it.
    const QString &loadError() const { return m_loadError; }
    const AppState &appState() const { return m_state; }
    Panel panel() const { return m_panel; }

    const QImage &cleanImage() const { return m_clean; }
    // What the window shows: the scan (while a big scan is still decoding,
    // the rows decoded so far) and what is drawn over it.
    const MapPicture &picture() const { return m_shown; }
    // The whole picture as shown, in one image (a copy).
    QImage shownImage() const { return m_shown.compose(m_shown.rect()); }
    // Whether the full scan is still being decoded.
    bool isDecoding() const { return m_decoding != nullptr; }
    // Waits for the full scan, for the commands that read its pixels
    // (printing, export); a failure is thrown as the decoder reported it.
    void waitForScan();
    const MapTransform &transform() const { return m_transform; }
    quint16 xdens() const { return m_xdens; }
    quint16 ydens() const { return m_ydens; }
    quint8 unitsCode() const { return m_unitsCode; }
    const QFont &pictureFont() const { return m_pictureFont; }
    const MapImageCache &imageCache() const { return m_imageCache; }

    // The pointer moved to a picture pixel / the user clicked the map there.
    void pointerMoved(int x, int y);
    void click();
    // The picture again from the clean map, with the datum title and the
    // kilometre labels.
    void drawGridLabels();

    // ---------------------------------------------------- calibration panel
    const CalibrationForm &form() const { return m_form; }
    QString zoneText() const;
    QString letterText() const;
    QString datumText() const;
    void setZone(int position);
    void setLetter(int position);
    void setDatum(int position);
    // Checking a point unchecks the other two and asks the view to show the
    // corner where the point is expected.
    void setPointChecked(int point, bool checked);
    void setEasting(int point, const QString &text);
    void setNorthing(int point, const QString &text);
    // "&Valider la calibration".
    void validateCalibration();
    // True when a calibration file was read. Throws on a damaged one.
    bool loadCalibration();
    // True when the calibration is accepted; the scale is then computed.
    bool computeCalibration();
    const QStringList &calibrationLines() const { return m_calibrationLines; }

    // --------------------------------------------------- verification panel
    const Verification &verification() const { return m_verification; }
    // "Correcte" and "A Refaire".
    void confirmCalibration();
    void redoCalibration();

    // --------------------------------------------------------- routes panel
    // The route names; picking one runs pickRoute.
    StringList &routes() { return m_routes; }
    const StringList &routes() const { return m_routes; }
    const QStringList &routeLines() const { return m_routeLines; }
    const QString &newRouteName() const { return m_newRouteName; }
    void setNewRouteName(const QString &name) { m_newRouteName = name; }
    // The name of the route last picked in the list.
    const QString &pickedRoute() const { return m_pickedRoute; }
    bool routeButtonsEnabled() const { return m_routeButtonsEnabled; }
    void pickRoute();
    // "Nouvelle", "Supprimer", "Listes des WayPoints".
    void addRoute();
    void deleteRoute();
    void openWaypoints();

    // ------------------------------------------------------ waypoints panel
    // The labels of the open route; picking one runs selectWaypoint.
    StringList &waypoints() { return m_waypoints; }
    const StringList &waypoints() const { return m_waypoints; }
    const QStringList &waypointLines() const { return m_waypointLines; }
    const WaypointTexts &waypointTexts() const { return m_waypointTexts; }
    // The open route's title, name + " >" + code; its code is always its
    // last two characters.
    QString routeTitle() const;
    QString routeCode() const;
    const QString &pendingWaypointLabel() const { return m_pendingLabel; }
    bool editButtonsEnabled() const { return m_editButtonsEnabled; }
    void selectWaypoint();
    // Every change of the altitude text, typed or shown by a selection.
    void setAltitude(const QString &text);

    // The ground's altitude at a position of the map, in whole metres, from
    // the project's elevation model; none where it has none. A new waypoint
    // whose altitude was not typed since the last one takes it. The window
    // gives it; the session only calls it.
    using GroundAltitude = std::function<std::optional<QString>(double easting, double northing)>;
    void setGroundAltitude(GroundAltitude ground) { m_groundAltitude = std::move(ground); }
    // The open route's waypoints that have an altitude.
    int waypointsWithAltitude() const;
    // "Altitudes": the ground's altitude for every waypoint of the open route
    // that has none, and with `replace` for the others too; the file is
    // written once. Answers how many waypoints changed.
    int fillAltitudes(bool replace);
    void deleteWaypoint();
    // "Haut", "Bas", "Gauch", "Droit": the selected waypoint's label moves.
    void moveLabel(RouteFiles::WaypointLine offset, int delta);
    // "Redessiner".
    void redraw();

    // ----------------------------------------- routes exchanged and printed
    // The waypoint lines of the route picked in the routes list: empty when
    // the route has no code any more or no readable file.
    QStringList pickedRouteLines() const;
    // Draws the picked route over the displayed picture as the waypoints
    // panel draws it, and answers its waypoints' pixels.
    QList<QPoint> drawPickedRoute();

    // A waypoint brought from another program, already placed on this map.
    struct ImportedWaypoint
    {
        QString name; // kept as its label when free
        qint32 easting = 0;
        qint32 northing = 0;
        QString altitude;
    };
    // `name` when no route has it (without regard to case), else the first
    // free of "name (2)", "name (3)"...
    QString uniqueRouteName(const QString &name) const;
    // Adds a route of imported waypoints after the selected one, with the
    // first free code, writes the routes file and its waypoint file, then
    // opens it on the waypoints panel drawn as after "Redessiner". Each
    // waypoint keeps its own name as label when that name is free and cannot
    // be mistaken for another line of the file; the others get the free
    // labels of the route's code.
    void addImportedRoute(const QString &name, const QList<ImportedWaypoint> &points);

signals:
    // Something the panels show changed.
    void changed();
    // The displayed picture was replaced / only the given pixels changed.
    void pictureReplaced();
    void pictureUpdated(const QRegion &area);
    void scrollRequested(bool right, bool bottom);
    // The full scan of a big map could not be decoded after its first rows
    // were shown: the session is no longer ready.
    void decodeFailed(const QString &error);

private:
    void clearLists();
    void loadMapImage();
    void startDecoding(const FileStamp &stamp, QSize size);
    // The rows the worker decoded since the last call, shown.
    void showDecodedRows();
    // The worker's picture taken over, or its failure; answers the failure.
    QString finishDecoding();
    void loadRoutes();
    void saveRoutes();
    void openRoute();
    void placeWaypoint();
    void saveAndDraw();
    void drawWaypoints();
    QString waypointFilePath() const;
    CalibrationTexts paddedPointTexts() const;
    QStringList calibrationFieldLines() const;
    void showCalibration(const QString &zone, const QString &letter, const QString &datum);
    // The selected waypoint's record in the waypoint lines, or -1.
    qsizetype selectedRecord() const;

    AppState &m_state;
    std::function<QString()> m_catalogueTitle;
    QString m_mapPath;
    bool m_ready = false;
    bool m_loadFailed = false;
    QString m_loadError;
    Panel m_panel = Panel::None;

    MapImageCache m_imageCache;
    QImage m_clean;
    MapPicture m_shown;
    std::unique_ptr<BackgroundDecode> m_decoding;
    // Tells the worker's call from an earlier one's, already overtaken.
    quint64 m_decodeGeneration = 0;
    QFont m_pictureFont;
    MapTransform m_transform;
    quint16 m_xdens = 0;
    quint16 m_ydens = 0;
    quint8 m_unitsCode = 0;

    CalibrationForm m_form;
    QStringList m_calibrationLines;
    Verification m_verification;

    StringList m_routes;
    QStringList m_routeLines;
    QString m_newRouteName;
    QString m_pickedRoute;
    bool m_routeButtonsEnabled = false;

    QString m_routeName;
    QString m_routeCodeLine;
    StringList m_waypoints;
    QStringList m_waypointLines;
    WaypointTexts m_waypointTexts;
    QString m_pendingLabel;
    bool m_editButtonsEnabled = false;
    // Whether the altitude was typed since the last waypoint was placed or
    // selected.
    bool m_altitudeTyped = false;
    GroundAltitude m_groundAltitude;
};
