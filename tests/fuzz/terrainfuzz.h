#pragma once

// Shared by the terrain targets: the terrain module loaded as the program
// loads it, and a model opened and read the way a map reads it.

#include "data/moduleloader.h"
#include "fuzzcheck.h"
#include "terrain/terrainapi.h"
#include "terrain/terrainmodel.h"

#include <QCoreApplication>

#include <cmath>
#include <memory>

namespace Fuzz {

// Altitudes the module may give: none, or one some land has (its range).
constexpr double kLowestAltitude = -1000;
constexpr double kHighestAltitude = 9000;

inline void loadTerrainModule(int *argc, char ***argv)
{
    static const std::unique_ptr<QCoreApplication> app(new QCoreApplication(*argc, *argv));
    ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_FUZZ_MODULE_DIR));
    Terrain::module();
}

// Opens `path` as a model; an accepted one is asked for its data, for the
// cells at its corners and centre, each an altitude or none, and for a
// position of a map in its system.
inline void openAndRead(const QString &path)
{
    TerrainModel model;
    if (refuses([&] { model = TerrainModel::open(path); }))
        return;
    FUZZ_CHECK(model.tiles().size() == 1);
    const TerrainModel::Tile &tile = model.tiles()[0];
    FUZZ_CHECK(tile.width > 0 && tile.height > 0);
    refuses([&] { model.mayHaveData(0); });
    for (const auto &[column, row] :
         {std::pair{0, 0}, std::pair{tile.width - 1, 0}, std::pair{0, tile.height - 1},
          std::pair{tile.width / 2, tile.height / 2}}) {
        double metres = 0;
        if (Terrain::module().read(tile.raster, column, row, 1, 1, &metres) == TerrainApi::Done)
            FUZZ_CHECK(std::isnan(metres) ||
                       (metres >= kLowestAltitude && metres <= kHighestAltitude));
    }
    double x = 500000;
    double y = 4762000;
    unsigned char ok = 0;
    Terrain::module().toSystem(tile.system, TerrainApi::Frame(), {2.9, 42.9, 3.1, 43.1}, 1, &x, &y,
                               &ok);
}

} // namespace Fuzz
