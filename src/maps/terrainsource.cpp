#include "terrainsource.h"

#include "data/appstate.h"
#include "data/quorerror.h"
#include "mapconversion.h"
#include "terrain/terrainchoice.h"

#include <QSize>

#include <cmath>

void TerrainSource::forget()
{
    m_opened = false;
    m_model.reset();
    m_error.clear();
    m_reported = false;
    m_terrain.reset();
}

const MapTerrain *TerrainSource::terrain(const Coordinates::Grid &grid,
                                         const Coordinates::Area &area, bool report)
{
    if (!m_error.isEmpty())
        return failed(m_error, report);
    try {
        if (!m_opened) {
            m_opened = true;
            const QString path = m_state.projectName.isEmpty()
                                     ? QString()
                                     : TerrainChoice::read(m_state.projectDirectory());
            if (!path.isEmpty())
                m_model = TerrainModel::open(path);
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
        return std::make_pair(grid, Coordinates::areaOfExtent(grid, {a.easting, a.northing},
                                                              {b.easting, b.northing}));
    } catch (const QuorError &) {
        return std::nullopt;
    }
}

QString Terrain::altitudeText(double metres)
{
    return QString::number(std::llround(metres));
}
