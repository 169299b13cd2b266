#include "mapsession.h"

// The routes and waypoints panels' part of the map session.

#include "data/appstate.h"
#include "data/importgate.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "data/textforms.h"
#include "routelist.h"
#include "waypointlist.h"

#include <QFileInfo>

#include <exception>
#include <optional>

namespace {

const QString kRouteTitleSeparator = QStringLiteral(" >");
constexpr int kRouteCodeLength = 2;

} // namespace

// -------------------------------------------------------------- routes panel

void MapSession::loadRoutes()
{
    // A missing or unreadable file is a project without routes.
    RouteFiles::readRoutes(m_state, m_routeLines);
    m_routes.setItems(RouteFiles::routeNames(m_routeLines));
}

void MapSession::saveRoutes()
{
    m_routeLines = RouteList::rebuildRouteLines(m_routes.items(), m_routeLines);
    LineList::write(RouteFiles::routesPath(m_state), m_routeLines);
}

void MapSession::pickRoute()
{
    // A click beside the items picks no route.
    if (!m_ready || m_routes.current() < 0)
        return;
    m_pickedRoute = m_routes.currentText();
    m_routeButtonsEnabled = true;
    emit changed();
}

void MapSession::addRoute()
{
    if (!m_ready)
        return;
    if (!RouteList::acceptsNewName(m_newRouteName, m_routes.items()))
        return;
    if (!RouteList::freeRouteCode(m_routeLines))
        throw QuorError(RouteList::noFreeCodeMessage());
    m_routes.insert(m_routes.current() + 1, m_newRouteName);
    saveRoutes();
    emit changed();
}

void MapSession::deleteRoute()
{
    if (!m_ready)
        return;
    if (m_routes.current() >= 0)
        m_routes.remove(m_routes.current());
    saveRoutes();
    emit changed();
}

void MapSession::openWaypoints()
{
    if (!m_ready)
        return;
    // A route deleted since it was picked has no code to open: the routes
    // panel stays.
    const qsizetype k = RouteFiles::findLine(m_routeLines, m_pickedRoute);
    if (k < 0 || k + 1 >= m_routeLines.size())
        return;
    m_panel = Panel::Waypoints;
    m_routeName = m_routeLines.at(k);
    m_routeCodeLine = m_routeLines.at(k + 1);
    emit changed();
    openRoute();
}

// ----------------------------------------------------------- waypoints panel

QString MapSession::routeTitle() const
{
    return m_routeName + kRouteTitleSeparator + m_routeCodeLine;
}

QString MapSession::routeCode() const
{
    return routeTitle().right(kRouteCodeLength);
}

QString MapSession::waypointFilePath() const
{
    return RouteFiles::waypointPath(m_state, routeCode());
}

void MapSession::openRoute()
{
    // A route without a readable file is an empty route.
    RouteFiles::readWaypoints(m_state, routeCode(), m_waypointLines);
    m_waypoints.setItems(WaypointList::labels(m_waypointLines));
    drawWaypoints();
    emit changed();
}

void MapSession::drawWaypoints()
{
    // With every label in use the pending one stays as it was; a click then
    // refuses to add a point.
    if (const std::optional<QString> label =
            WaypointList::freeWaypointLabel(routeCode(), m_waypointLines))
        m_pendingLabel = *label;
    const RouteStyle style = routeStyle(m_xdens, m_ydens);
    QList<RouteMark> marks;
    // What comes before a damaged record is drawn all the same.
    std::exception_ptr failure;
    try {
        routeMarks(m_transform, style, m_waypointLines, marks);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!m_shown.isNull()) {
        const QRegion changedArea =
            m_shown.overlay().addRoute(m_pictureFont, style, marks, m_shown.device()) &
            m_shown.rect();
        emit pictureUpdated(changedArea);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void MapSession::saveAndDraw()
{
    const WaypointList::PanelTexts panel{m_waypointTexts.easting,  m_waypointTexts.northing,
                                         m_waypointTexts.altitude, m_waypointTexts.mapName,
                                         m_waypointTexts.zone,     m_waypointTexts.letter,
                                         m_waypointTexts.datum};
    m_waypointLines =
        WaypointList::rebuildWaypointLines(m_waypoints.items(), m_waypointLines, panel);
    LineList::write(waypointFilePath(), m_waypointLines);
    drawWaypoints();
    m_waypoints.setCurrent(m_waypoints.count() - 1);
}

void MapSession::placeWaypoint()
{
    // The label is looked for again at the click: a save that failed since
    // the last drawing already took the one drawn then.
    const std::optional<QString> label =
        WaypointList::freeWaypointLabel(routeCode(), m_waypointLines);
    if (!label)
        throw QuorError(WaypointList::noFreeLabelMessage(routeCode()));
    // Without an altitude typed for it, the waypoint stands on the ground. A
    // model that cannot be read is reported once the waypoint is placed: the
    // click is not lost for it.
    std::exception_ptr terrainFailure;
    if (!m_altitudeTyped && m_groundAltitude) {
        try {
            if (const std::optional<QString> ground = m_groundAltitude(
                    m_waypointTexts.easting.toDouble(), m_waypointTexts.northing.toDouble()))
                m_waypointTexts.altitude = *ground;
        } catch (const QuorError &) {
            m_waypointTexts.altitude.clear();
            terrainFailure = std::current_exception();
        }
    }
    m_altitudeTyped = false;
    m_pendingLabel = *label;
    // After the selected item; at the end when it is the last or the list is
    // empty, at the top when nothing is selected.
    m_waypoints.insert(m_waypoints.current() + 1, m_pendingLabel);
    m_waypointTexts.mapName = QFileInfo(m_mapPath).fileName();
    emit changed();
    saveAndDraw();
    emit changed();
    if (terrainFailure)
        std::rethrow_exception(terrainFailure);
}

qsizetype MapSession::selectedRecord() const
{
    if (m_waypoints.current() < 0)
        return -1;
    return RouteFiles::findLine(m_waypointLines, m_waypoints.currentText());
}

void MapSession::selectWaypoint()
{
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k >= 0) {
        const RouteFiles::WaypointRecord record(m_waypointLines, k);
        m_waypointTexts.easting = record.easting();
        m_waypointTexts.northing = record.northing();
        m_waypointTexts.mapName = record.mapName();
        // A different altitude shown is stored again, as a typed one is.
        if (record.altitude() != m_waypointTexts.altitude)
            setAltitude(QString(record.altitude()));
    }
    m_altitudeTyped = false;
    m_editButtonsEnabled = true;
    emit changed();
}

int MapSession::waypointsWithAltitude() const
{
    int count = 0;
    for (int k = 0; k < RouteFiles::waypointCount(m_waypointLines); ++k)
        count += !RouteFiles::waypointField(m_waypointLines, k, RouteFiles::Altitude).isEmpty();
    return count;
}

int MapSession::fillAltitudes(bool replace)
{
    if (!m_ready || !m_groundAltitude)
        return 0;
    QStringList lines = m_waypointLines;
    int filled = 0;
    for (int k = 0; k < RouteFiles::waypointCount(lines); ++k) {
        const RouteFiles::WaypointRecord record(lines,
                                                qsizetype(k) * RouteFiles::kLinesPerWaypoint);
        if (!replace && !record.altitude().isEmpty())
            continue;
        // A waypoint placed on a map of another grid is not this map's.
        if (record.zone() != m_waypointTexts.zone || record.letter() != m_waypointTexts.letter ||
            record.datum() != m_waypointTexts.datum)
            continue;
        const std::optional<QString> ground =
            m_groundAltitude(record.easting().toDouble(), record.northing().toDouble());
        if (!ground || ground->isEmpty() || *ground == record.altitude())
            continue;
        lines[record.lineIndex(RouteFiles::Altitude)] = *ground;
        ++filled;
    }
    if (filled == 0)
        return 0;
    LineList::write(waypointFilePath(), lines);
    m_waypointLines = lines;
    // The field shows the selected waypoint's altitude as it now is.
    const qsizetype selected = selectedRecord();
    if (selected >= 0)
        m_waypointTexts.altitude = RouteFiles::WaypointRecord(m_waypointLines, selected).altitude();
    emit changed();
    return filled;
}

void MapSession::setAltitude(const QString &text)
{
    // The text follows what the field shows, whatever the state.
    m_waypointTexts.altitude = text;
    m_altitudeTyped = true;
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k < 0)
        return;
    const RouteFiles::WaypointRecord record(m_waypointLines, k);
    m_waypointLines[record.lineIndex(RouteFiles::Altitude)] = text;
    LineList::write(waypointFilePath(), m_waypointLines);
}

void MapSession::moveLabel(RouteFiles::WaypointLine offset, int delta)
{
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k < 0)
        return;
    WaypointList::moveLabel(m_waypointLines, k, offset, delta);
    drawGridLabels();
    saveAndDraw();
    emit changed();
}

void MapSession::deleteWaypoint()
{
    if (!m_ready)
        return;
    if (m_waypoints.current() >= 0)
        m_waypoints.remove(m_waypoints.current());
    drawGridLabels();
    saveAndDraw();
    emit changed();
}

void MapSession::redraw()
{
    if (!m_ready)
        return;
    drawGridLabels();
    saveAndDraw();
    emit changed();
}

// --------------------------------------------- routes exchanged and printed

QStringList MapSession::pickedRouteLines() const
{
    QStringList lines;
    if (const std::optional<QString> code = RouteFiles::routeCode(m_routeLines, m_pickedRoute))
        RouteFiles::readWaypoints(m_state, code->right(kRouteCodeLength), lines);
    return lines;
}

QList<QPoint> MapSession::drawPickedRoute()
{
    const QStringList lines = pickedRouteLines();
    QList<RouteMark> marks;
    const RouteStyle style = routeStyle(m_xdens, m_ydens);
    routeMarks(m_transform, style, lines, marks);
    QList<QPoint> pixels;
    for (int i = 0; i < RouteFiles::waypointCount(lines); ++i) {
        const RouteFiles::WaypointRecord record(lines,
                                                qsizetype(i) * RouteFiles::kLinesPerWaypoint);
        pixels << UtmToPixel(m_transform, parse_integer(record.easting()),
                             parse_integer(record.northing()));
    }
    if (!m_shown.isNull() && !marks.isEmpty()) {
        m_shown.overlay().addRoute(m_pictureFont, style, marks, m_shown.device());
        emit pictureReplaced();
    }
    return pixels;
}

QString MapSession::uniqueRouteName(const QString &name) const
{
    const auto taken = [this](const QString &candidate) {
        return RouteFiles::findLine(m_routes.items(), candidate) >= 0;
    };
    if (!taken(name))
        return name;
    for (int n = 2;; ++n) {
        QString candidate = QStringLiteral("%1 (%2)").arg(name, QString::number(n));
        if (!taken(candidate))
            return candidate;
    }
}

namespace {

// A name read elsewhere serves as a label when nothing else in the file can
// be taken for it: not a number (eastings, altitudes, offsets), nor a single
// letter (bands), nor a datum, nor a label or line already there.
bool usableAsLabel(const QString &name, const QStringList &lines, const QString &mapName)
{
    static const QStringList kDatums = {QStringLiteral("ED50"), QStringLiteral("WGS84")};
    if (name.size() < 2 || name.trimmed() != name)
        return false;
    // One line of Windows-1252 that a stage's place and a Waypoint+ field can
    // hold as it is.
    const ImportGate::Text label = ImportGate::label(name);
    if (!label.usable() || label.value != name)
        return false;
    bool number = false;
    name.toLongLong(&number);
    if (number || name.compare(mapName, Qt::CaseInsensitive) == 0)
        return false;
    for (const QString &datum : kDatums) {
        if (name.compare(datum, Qt::CaseInsensitive) == 0)
            return false;
    }
    return RouteFiles::findLine(lines, name) < 0;
}

} // namespace

void MapSession::addImportedRoute(const QString &name, const QList<ImportedWaypoint> &points)
{
    if (!m_ready)
        return;
    const ImportGate::Text gated = ImportGate::routeName(name);
    if (!gated.usable() || gated.value != name)
        throw QuorError(QStringLiteral("Le nom de route « %1 » ne peut pas servir : %2.")
                            .arg(gated.value, gated.reason.isEmpty()
                                                  ? QStringLiteral("le texte tient sur plusieurs "
                                                                   "lignes")
                                                  : gated.reason));
    if (!RouteList::acceptsNewName(name, m_routes.items()))
        throw QuorError(
            QStringLiteral("Le nom de route « %1 » est trop court ou déjà pris.").arg(name));
    if (points.size() > WaypointList::kLabelsPerRoute)
        throw QuorError(WaypointList::noFreeLabelMessage(QString()));
    const std::optional<QString> code = RouteList::freeRouteCode(m_routeLines);
    if (!code)
        throw QuorError(RouteList::noFreeCodeMessage());

    // The waypoint file first: the route appears only once its points are
    // stored.
    const QString mapName = QFileInfo(m_mapPath).fileName();
    const RouteFiles::WaypointFields common{
        {}, {}, {}, mapName, m_waypointTexts.zone, m_waypointTexts.letter, m_waypointTexts.datum};
    QStringList lines;
    QList<int> unnamed;
    for (int i = 0; i < points.size(); ++i) {
        RouteFiles::WaypointFields fields = common;
        fields.easting = QString::number(points[i].easting);
        fields.northing = QString::number(points[i].northing);
        fields.altitude = points[i].altitude;
        const bool named = usableAsLabel(points[i].name, lines, mapName);
        if (!named)
            unnamed << i;
        RouteFiles::appendWaypoint(lines, named ? points[i].name : QString(), fields);
    }
    // The others take the free labels of the code, smallest first.
    for (const int i : unnamed) {
        const std::optional<QString> label = WaypointList::freeWaypointLabel(*code, lines);
        if (!label)
            throw QuorError(WaypointList::noFreeLabelMessage(*code));
        lines[qsizetype(i) * RouteFiles::kLinesPerWaypoint] = *label;
    }
    LineList::write(RouteFiles::waypointPath(m_state, *code), lines);

    m_routes.insert(m_routes.current() + 1, name);
    saveRoutes();
    m_routes.setCurrent(static_cast<int>(m_routes.items().indexOf(name)));
    m_pickedRoute = name;
    m_routeButtonsEnabled = true;
    openWaypoints();
    redraw();
}
