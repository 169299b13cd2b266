#include "terrainsource.h"

#include "data/appstate.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "mapconversion.h"
#include "terrain/terrainchoice.h"

#include <QSize>

#include <algorithm>
#include <cmath>

void TerrainSource::forget()
{
    m_opened = false;
    m_choiceRead = false;
    m_choice.clear();
    m_model.reset();
    m_error.clear();
    m_reported = false;
    m_terrain.reset();
}

bool TerrainSource::hasModel()
{
    if (!m_choiceRead) {
        m_choiceRead = true;
        try {
            m_choice = m_state.projectName.isEmpty()
                           ? QString()
                           : TerrainChoice::read(m_state.projectDirectory());
        } catch (const QuorError &e) {
            m_error = e.text();
        }
    }
    return !m_choice.isEmpty() || !m_error.isEmpty();
}

const MapTerrain *TerrainSource::terrain(const Coordinates::Grid &grid,
                                         const Coordinates::Area &area, bool report)
{
    if (!m_error.isEmpty())
        return failed(m_error, report);
    try {
        if (!m_opened) {
            m_opened = true;
            if (hasModel() && m_error.isEmpty())
                m_model = TerrainModel::open(m_choice);
            else if (!m_error.isEmpty())
                return failed(m_error, report);
        }
        if (!m_model)
            return nullptr;
        const bool same = m_terrain && m_terrain->grid().zone == grid.zone &&
                          m_terrain->grid().letter == grid.letter &&
                          m_terrain->grid().datum == grid.datum &&
                          m_terrain->area().west == area.west &&
                          m_terrain->area().south == area.south &&
                          m_terrain->area().east == area.east &&
                          m_terrain->area().north == area.north;
        if (!same)
            m_terrain.emplace(*m_model, grid, area);
        return &*m_terrain;
    } catch (const QuorError &e) {
        return failed(e.text(), report);
    }
}

const MapTerrain *TerrainSource::failed(const QString &text, bool report)
{
    m_error = text;
    if (report && !m_reported) {
        m_reported = true;
        throw QuorError(text);
    }
    return nullptr;
}

std::optional<QString> TerrainSource::altitude(const Coordinates::Grid &grid,
                                               const Coordinates::Area &area, double easting,
                                               double northing, bool report)
{
    const MapTerrain *t = terrain(grid, area, report);
    if (!t)
        return std::nullopt;
    try {
        const std::optional<double> metres = t->altitude({easting, northing});
        if (!metres)
            return std::nullopt;
        return Terrain::altitudeText(*metres);
    } catch (const QuorError &e) {
        // A file of the model gone or damaged since it was opened.
        failed(e.text(), report);
        return std::nullopt;
    }
}

std::optional<std::pair<Coordinates::Grid, Coordinates::Area>>
TerrainSource::mapFrame(const QString &zone, const QString &letter, const QString &datum,
                        const MapTransform &transform, const QSize &picture)
{
    Coordinates::Grid grid;
    bool ok = false;
    grid.zone = zone.toInt(&ok);
    if (!ok || letter.size() != 1 || picture.isEmpty())
        return std::nullopt;
    grid.letter = letter.at(0);
    grid.datum = datum;
    try {
        Coordinates::checkGrid(grid);
        const UtmReal a = PixelToUtm(transform, 0, 0);
        const UtmReal b = PixelToUtm(transform, picture.width(), picture.height());
        if (!std::isfinite(a.easting) || !std::isfinite(b.northing) ||
            (a.easting == b.easting && a.northing == b.northing))
            return std::nullopt;
        return std::make_pair(
            grid, Coordinates::areaOfExtent(grid, {double(a.easting), double(a.northing)},
                                            {double(b.easting), double(b.northing)}));
    } catch (const QuorError &) {
        return std::nullopt;
    }
}

QStringList TerrainSource::hiddenClimbs(const AppState &state, const QStringList &waypointLines,
                                        int count)
{
    using namespace RouteFiles;
    count = std::min(count, waypointCount(waypointLines));
    if (count < 2 || state.projectName.isEmpty() ||
        TerrainChoice::read(state.projectDirectory()).isEmpty())
        return {};
    const auto field = [&](int k, WaypointLine line) { return waypointField(waypointLines, k, line); };
    Coordinates::Grid grid;
    grid.zone = field(0, Zone).toInt();
    grid.letter = field(0, Letter).isEmpty() ? QChar() : field(0, Letter).at(0);
    grid.datum = field(0, Datum);
    try {
        Coordinates::checkGrid(grid);
    } catch (const QuorError &) {
        return {};
    }
    QList<MapTerrain::Waypoint> route;
    Coordinates::GridPoint low{qInf(), qInf()}, high{-qInf(), -qInf()};
    for (int k = 0; k < count; ++k) {
        // A waypoint of another grid, or without a position, ends the legs.
        bool east = false, north = false;
        const double e = field(k, Easting).toDouble(&east);
        const double n = field(k, Northing).toDouble(&north);
        if (!east || !north || field(k, Zone).toInt() != grid.zone ||
            field(k, Letter) != QString(grid.letter) || field(k, Datum) != grid.datum)
            break;
        bool typed = false;
        const double altitude = field(k, Altitude).toDouble(&typed);
        route.append({field(k, Label), {e, n}, typed ? std::optional(altitude) : std::nullopt});
        low = {std::min(low.easting, e), std::min(low.northing, n)};
        high = {std::max(high.easting, e), std::max(high.northing, n)};
    }
    if (route.size() < 2)
        return {};
    TerrainSource source(state);
    const MapTerrain *terrain =
        source.terrain(grid, Coordinates::areaOfExtent(grid, low, high), true);
    if (!terrain)
        return {};
    QStringList texts;
    for (const MapTerrain::Leg &leg : terrain->hiddenClimbs(route))
        texts << leg.text;
    return texts;
}

std::pair<QList<ProfilePoint>, ProfileHeader>
TerrainSource::routeProfile(const MapTerrain &terrain, const QString &name,
                            const QStringList &waypointLines)
{
    using namespace RouteFiles;
    const Coordinates::Grid &grid = terrain.grid();
    QList<Coordinates::GridPoint> route;
    QList<ProfilePoint> points;
    double along = 0;
    for (int k = 0; k < waypointCount(waypointLines); ++k) {
        const auto field = [&](WaypointLine line) { return waypointField(waypointLines, k, line); };
        bool east = false, north = false;
        const Coordinates::GridPoint at{field(Easting).toDouble(&east),
                                        field(Northing).toDouble(&north)};
        if (!east || !north || field(Zone).toInt() != grid.zone ||
            field(Letter) != QString(grid.letter) || field(Datum) != grid.datum)
            continue;
        if (!route.isEmpty())
            along += std::hypot(at.easting - route.last().easting,
                                at.northing - route.last().northing);
        route << at;
        std::optional<double> altitude = terrain.altitude(at);
        bool typed = false;
        if (!altitude) {
            const double own = field(Altitude).toDouble(&typed);
            if (typed)
                altitude = own;
        }
        if (!altitude)
            continue;
        ProfilePoint p;
        p.distance = std::llround(along);
        p.altitude = std::llround(*altitude);
        p.place = field(Label);
        p.row = k + 1;
        points << p;
    }
    ProfileHeader header;
    header.title = name;
    const Terrain::Profile ground = terrain.profile(route);
    for (const Terrain::Sample &s : ground.samples) {
        if (s.altitude)
            header.ground << QPointF(s.distance, *s.altitude);
    }
    header.totals.climb = std::llround(ground.total.climb);
    header.totals.descent = std::llround(ground.total.descent);
    return {points, header};
}

QString Terrain::altitudeText(double metres)
{
    return QString::number(std::llround(metres));
}
