#include "routespanel.h"

#include "areaoptionsdialog.h"
#include "areaprint.h"
#include "data/appstate.h"
#include "data/gpxfile.h"
#include "data/importgate.h"
#include "data/progress.h"
#include "data/quorerror.h"
#include "data/textforms.h"
#include "editor/printers.h"
#include "gps/coordinates.h"
#include "gps/gpxexport.h"
#include "gps/gpximport.h"
#include "gridlabels.h"
#include "mapconversion.h"
#include "mapsession.h"
#include "platform/platform.h"
#include "routelist.h"
#include "widgets/stringlistview.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// "Exporter la carte…": the map for phones and GPS receivers.
const QString kExportCaption = QStringLiteral("Exporter la carte…");
const QString kExportTitle = QStringLiteral("Exporter la carte");

} // namespace

RoutesPanel::RoutesPanel(MapPanelHost host, QWidget *parent)
    : MapPanel(QStringLiteral("Routes"), kRoutesWidth, std::move(host), parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->addWidget(caption(QStringLiteral("Routes")));
    auto edit = [this, column](QLineEdit *&target, const QString &name, bool readOnly) {
        target = new QLineEdit(this);
        target->setObjectName(name);
        target->setReadOnly(readOnly);
        column->addWidget(target);
    };
    RWaypoints = button(QStringLiteral("RWaypoints"), QStringLiteral("Listes des WayPoints"));
    column->addWidget(RWaypoints);
    edit(RLWaypoints, QStringLiteral("RLWaypoints"), true);
    ChRoutes = new StringListView(m_session.routes(), this);
    ChRoutes->setObjectName(QStringLiteral("ChRoutes"));
    column->addWidget(ChRoutes, 1);
    RNouvelle = button(QStringLiteral("RNouvelle"), QStringLiteral("Nouvelle"));
    column->addWidget(RNouvelle);
    edit(RLNouvelle, QStringLiteral("RLNouvelle"), false);
    RSupprimer = button(QStringLiteral("RSupprimer"), QStringLiteral("Supprimer"));
    column->addWidget(RSupprimer);
    edit(RLsupprimer, QStringLiteral("RLsupprimer"), true);
    RZone = button(QStringLiteral("RZone"), QStringLiteral("Imprimer la zone"));
    column->addWidget(RZone);
    RExportGpx = button(QStringLiteral("RExportGpx"), QStringLiteral("Exporter GPX"));
    column->addWidget(RExportGpx);
    RImportGpx = button(QStringLiteral("RImportGpx"), QStringLiteral("Importer GPX"));
    column->addWidget(RImportGpx);
    RExportCarte = button(QStringLiteral("RExportCarte"), kExportCaption);
    column->addWidget(RExportCarte);
    RProfil = button(QStringLiteral("RProfil"), QStringLiteral("Profil"));
    column->addWidget(RProfil);
    RTerrain = button(QStringLiteral("RTerrain"), QStringLiteral("Modèle de terrain…"));
    column->addWidget(RTerrain);
    Button2 = button(QStringLiteral("Button2"), QStringLiteral("Quiter"));
    column->addWidget(Button2);

    connect(ChRoutes, &StringListView::picked, this, [this](int row) { ChRoutesClick(row); });
    connect(RLNouvelle, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_session.setNewRouteName(text); });
    connect(RWaypoints, &QPushButton::clicked, this, [this] { RWaypointsClick(); });
    connect(RNouvelle, &QPushButton::clicked, this, [this] { RNouvelleClick(); });
    connect(RSupprimer, &QPushButton::clicked, this, [this] { RSupprimerClick(); });
    connect(RZone, &QPushButton::clicked, this, [this] { RZoneClick(); });
    connect(RExportGpx, &QPushButton::clicked, this, [this] { RExportGpxClick(); });
    connect(RImportGpx, &QPushButton::clicked, this, [this] { RImportGpxClick(); });
    connect(RExportCarte, &QPushButton::clicked, this, [this] { RExportCarteClick(); });
    connect(RProfil, &QPushButton::clicked, this,
            [this] { run([this] { m_host.showRouteProfile(); }); });
    connect(RTerrain, &QPushButton::clicked, this, [this] { run([this] { m_host.chooseTerrain(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { m_host.quit(); });
    refresh();
}

void RoutesPanel::refresh()
{
    display(RLWaypoints, m_session.pickedRoute());
    display(RLsupprimer, m_session.pickedRoute());
    display(RLNouvelle, m_session.newRouteName());
    const bool usable = !m_session.loadFailed();
    RWaypoints->setEnabled(usable && m_session.routeButtonsEnabled());
    RSupprimer->setEnabled(usable && m_session.routeButtonsEnabled());
    RZone->setEnabled(usable && m_session.routeButtonsEnabled());
    RExportGpx->setEnabled(usable && m_session.routeButtonsEnabled());
    RProfil->setEnabled(usable && m_session.routeButtonsEnabled());
    RExportCarte->setEnabled(usable);
    RImportGpx->setEnabled(usable);
    RNouvelle->setEnabled(usable);
    ChRoutes->setEnabled(usable);
}

void RoutesPanel::ChRoutesClick(int row)
{
    run([this, row] { m_session.routes().select(row); });
}

void RoutesPanel::RNouvelleClick()
{
    run([this] { m_session.addRoute(); });
}

void RoutesPanel::RSupprimerClick()
{
    run([this] { m_session.deleteRoute(); });
}

void RoutesPanel::RWaypointsClick()
{
    run([this] { m_session.openWaypoints(); });
}

void RoutesPanel::RZoneClick()
{
    run([this] {
        if (!m_session.isReady() || m_session.pickedRoute().isEmpty())
            return;
        waitForScan();
        AreaOptionsDialog dialog(m_areaOptions, m_host.window);
        if (!AreaPrint::fileGivesResolution(m_session.unitsCode(), m_session.xdens(),
                                            m_session.ydens()))
            dialog.askScanResolution(m_session.transform());
        if (!m_host.platform.runDialog(dialog))
            return;
        m_areaOptions = dialog.options();
        // The route goes on the picture as the waypoints panel draws it, so
        // the paper shows what the screen shows.
        const QList<QPoint> waypoints = m_session.drawPickedRoute();
        const MapSession::Verification &v = m_session.verification();
        AreaMap map{m_session.picture().size(),
                    m_session.transform(),
                    m_session.xdens(),
                    m_session.ydens(),
                    m_session.unitsCode(),
                    double(m_areaOptions.scanDotsPerInch),
                    m_session.pickedRoute(),
                    gridTitle(v.zone, v.letter, v.datum).trimmed()};
        printRouteArea(m_host.platform, m_host.window, m_host.printer(Printout::Area), m_session.picture(), map,
                       waypoints, m_areaOptions);
    });
}

namespace {

const QString kImportTitle = QStringLiteral("Importer GPX");
const QString kNothingToExport = QStringLiteral("La route n'a aucun point à exporter.");

} // namespace

void RoutesPanel::RExportGpxClick()
{
    run([this] {
        if (!m_session.isReady() || m_session.pickedRoute().isEmpty())
            return;
        const QList<MapRoutePoint> points = GpxExport::mapRoutePoints(m_session.pickedRouteLines());
        if (points.isEmpty())
            throw QuorError(kNothingToExport);
        const AppState &state = m_session.appState();
        const std::optional<QString> path = m_host.platform.saveFile(
            m_host.window, QString::fromUtf8(GpxExport::kRouteDialogTitle),
            state.programDirectory + state.projectName,
            GpxExport::proposedFileName(m_session.pickedRoute()),
            QString::fromUtf8(GpxExport::kFilter), QString::fromUtf8(GpxExport::kDefaultExtension));
        if (!path)
            return;
        bool ballpark = false;
        GpxExport::writeMapRoute(*path, m_session.pickedRoute(), points, &ballpark);
        if (ballpark)
            m_host.platform.inform(m_host.window, Coordinates::kBallparkText);
    });
}

MapExport::Request RoutesPanel::exportRequest(const MapExportOptions &options, bool draw)
{
    const MapSession::Verification &v = m_session.verification();
    MapExport::Request request;
    request.transform = m_session.transform();
    request.grid.zone = parse_integer(v.zone);
    request.grid.letter = v.letter.isEmpty() ? QChar() : v.letter.front();
    request.grid.datum = v.datum;
    request.format = options.format;
    request.kmzReduction = options.kmzReduction;
    const bool route = !m_session.pickedRoute().isEmpty();
    // The route and its labels as the screen shows them, or the scan with
    // its grid labels alone.
    QList<QPoint> waypoints;
    const bool drawn = route && options.drawRoute;
    if (drawn && draw) {
        waypoints = m_session.drawPickedRoute();
    } else if (route) {
        for (const MapRoutePoint &p : GpxExport::mapRoutePoints(m_session.pickedRouteLines()))
            waypoints << UtmToPixel(request.transform, p.easting, p.northing);
    }
    if (draw && !drawn)
        m_session.drawGridLabels();
    // Counting needs only the picture's size; writing takes the picture as
    // shown, in one piece when something is drawn over the scan.
    const MapPicture &shown = m_session.picture();
    request.picture = !draw || shown.overlay().isEmpty() ? shown.scan() : m_session.shownImage();
    if (options.routeArea && route)
        request.extent = MapExport::routeExtent(request.picture.size(), request.transform,
                                                waypoints, options.marginKm);
    request.name = options.routeArea && route ? m_session.pickedRoute()
                                              : QFileInfo(m_session.mapPath()).completeBaseName();
    return request;
}

void RoutesPanel::RExportCarteClick()
{
    run([this] {
        if (!m_session.isReady())
            return;
        waitForScan();
        MapExportDialog dialog(m_exportOptions, !m_session.pickedRoute().isEmpty(),
                               m_host.window);
        // Counting reads no pixel: the picture is left as it is.
        dialog.setTileCounter([this](const MapExportOptions &options) {
            return MapExport::kmzTiles(exportRequest(options, false));
        });
        if (!m_host.platform.runDialog(dialog))
            return;
        m_exportOptions = dialog.options();
        MapExport::Request request = exportRequest(m_exportOptions, true);
        const AppState &state = m_session.appState();
        const std::optional<QString> path = m_host.platform.saveFile(
            m_host.window, kExportTitle, state.programDirectory + state.projectName,
            request.name + QLatin1Char('.') + MapExport::suffix(request.format),
            MapExport::fileFilter(request.format), MapExport::suffix(request.format));
        if (!path)
            return;
        request.destination = *path;
        try {
            const Progress writing = m_host.platform.startProgress(
                m_host.window, kExportTitle, QStringLiteral("Écriture de la carte…"));
            MapExport::exportMap(request, writing);
        } catch (const Cancelled &) {
            // Nothing is left behind: the user stopped it.
        }
    });
}

void RoutesPanel::RImportGpxClick()
{
    run([this] {
        if (!m_session.isReady())
            return;
        const AppState &state = m_session.appState();
        const std::optional<QString> path =
            m_host.platform.openFile(m_host.window, state.programDirectory + state.projectName,
                                     QString::fromUtf8(GpxExport::kFilter));
        if (!path)
            return;
        try {
            importGpx(*path);
        } catch (const Cancelled &) {
            // Nothing was written: the user stopped it.
        }
    });
}

void RoutesPanel::importGpx(const QString &path)
{
    // Each long step has its own box, closed before the next question.
    GpxDocument document;
    {
        const Progress reading = m_host.platform.startProgress(
            m_host.window, kImportTitle, QStringLiteral("Lecture du fichier GPX…"));
        document = Gpx::read(path, reading);
    }
    const QList<GpxChoice> choices = GpxImport::choices(document);
    GpxChoice choice = choices.constFirst();
    if (choices.size() > 1) {
        QStringList captions;
        for (const GpxChoice &c : choices)
            captions << c.caption;
        const std::optional<int> picked = m_host.platform.chooseItem(
            m_host.window, kImportTitle, QStringLiteral("Route ou trace à importer :"), captions);
        if (!picked || *picked < 0)
            return;
        choice = choices.at(*picked);
    }
    const MapSession::Verification &v = m_session.verification();
    MapFrame frame;
    frame.transform = m_session.transform();
    frame.zone = parse_integer(v.zone);
    frame.letter = v.letter.isEmpty() ? QChar() : v.letter.front();
    frame.datum = v.datum;
    frame.width = m_session.picture().width();
    frame.height = m_session.picture().height();
    GpxImportResult result;
    {
        const Progress placing = m_host.platform.startProgress(
            m_host.window, kImportTitle, QStringLiteral("Placement des points sur la carte…"));
        result = GpxImport::importChoice(document, choice, frame, placing);
    }
    if (result.points.isEmpty()) {
        m_host.platform.inform(m_host.window, GpxImport::kNothingOnMapText);
        return;
    }
    // The name of the file's route as the routes file can hold it, or one
    // asked for when it has none that a route may take.
    const ImportGate::Text gated = ImportGate::routeName(result.name);
    QString name = gated.usable() ? gated.value : QString();
    if (name.size() <= RouteList::kShortestRefusedLength) {
        const std::optional<QString> typed = m_host.platform.askText(
            m_host.window, kImportTitle, QStringLiteral("Nom de la nouvelle route :"), name);
        if (!typed)
            return;
        name = typed->trimmed();
    }
    name = m_session.uniqueRouteName(name);
    QList<MapSession::ImportedWaypoint> points;
    for (const ImportedPoint &p : result.points) {
        // A point the file gives no altitude stands on the ground, where the
        // project's elevation model knows it.
        QString altitude = p.altitude;
        if (altitude.isEmpty())
            altitude = m_host.groundAltitude(p.easting, p.northing, true).value_or(QString());
        points.append({p.name, p.easting, p.northing, altitude});
    }
    m_session.addImportedRoute(name, points);
    const QString report = GpxImport::reportText(result, document.unreadableElevations);
    if (!report.isEmpty())
        m_host.platform.inform(m_host.window, report);
}
