#include "routefiles.h"

#include "data/appstate.h"
#include "data/linelist.h"
#include "data/quorerror.h"

namespace RouteFiles {

QString routesPath(const AppState &state)
{
    return state.project_file(QLatin1String(kRoutesFileName));
}

QString waypointPath(const AppState &state, const QString &routeCode)
{
    return state.project_file(QLatin1String(kWaypointFilePrefix) + routeCode);
}

bool readRoutes(const AppState &state, QStringList &lines)
{
    return LineList::read(routesPath(state), lines);
}

bool readWaypoints(const AppState &state, const QString &routeCode, QStringList &lines)
{
    return LineList::read(waypointPath(state, routeCode), lines);
}

QStringList routeNames(const QStringList &routeLines)
{
    QStringList names;
    const qsizetype routes = routeLines.size() / kLinesPerRoute;
    names.reserve(routes);
    for (qsizetype i = 0; i < routes; ++i)
        names.append(routeLines.at(i * kLinesPerRoute));
    return names;
}

qsizetype findLine(const QStringList &lines, const QString &key)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> routeCode(const QStringList &routeLines, const QString &name)
{
    const qsizetype k = findLine(routeLines, name);
    if (k < 0 || k + 1 >= routeLines.size())
        return std::nullopt;
    return routeLines.at(k + 1);
}

int waypointCount(const QStringList &waypointLines)
{
    return static_cast<int>(waypointLines.size() / kLinesPerWaypoint);
}

const QString &waypointField(const QStringList &waypointLines, int waypoint, WaypointLine line)
{
    return waypointLines.at(qsizetype(waypoint) * kLinesPerWaypoint + line);
}

WaypointRecord::WaypointRecord(const QStringList &lines, qsizetype first)
    : m_lines(lines), m_first(first)
{
    const qsizetype last = first + kLinesPerWaypoint - 1;
    if (first < 0 || last >= lines.size())
        throwListIndex(int(first < 0 ? first : lines.size()));
}

void appendWaypoint(QStringList &waypointLines, const QString &label,
                    const WaypointFields &waypoint)
{
    waypointLines << label << waypoint.easting << waypoint.northing << waypoint.altitude
                  << waypoint.mapName << waypoint.zone << waypoint.letter << waypoint.datum
                  << kNoLabelOffset << kNoLabelOffset;
}

} // namespace RouteFiles
