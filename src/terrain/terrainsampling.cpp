#include "terraingdal.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace TerrainApi;

namespace TerrainModule {

namespace {

// Cells converted at once when looking for an altitude in a block.
constexpr long long kScanCells = 1 << 20;
// Blocks whose presence GDAL is asked about at once over a whole raster,
// and blocks sampled at most when looking for an altitude: a header may
// claim billions of small tiles that the file cannot hold.
constexpr long long kCoverageBlocks = 1 << 18;
constexpr long long kSampledBlocks = 4096;
// Altitudes outside this range are taken for the fill values of files that
// declare none (-32768, -3.4e38...): no land lies below the shore of the Dead
// Sea (-430 m) or above Everest (8849 m).
constexpr double kLowestAltitude = -1000;
constexpr double kHighestAltitude = 9000;

} // namespace

Status Gdal::read(Raster *raster, int column, int row, int columns, int rows, double *metres)
{
    const Header &h = raster->header;
    if (column < 0 || row < 0 || columns <= 0 || rows <= 0 || column > h.width - columns ||
        row > h.height - rows)
        return ReadFailed;
    GDALRasterBandH band = bandOf(raster);
    if (!band || GDALRasterIO(band, GF_Read, column, row, columns, rows, metres, columns, rows,
                              GDT_Float64, 0, 0) != CE_None)
        return ReadFailed;
    for (long long i = 0, n = 1LL * columns * rows; i < n; ++i)
        metres[i] = altitude(*raster, metres[i]);
    return Done;
}

Status Gdal::hasData(Raster *raster, long long budget, Content *content)
{
    GDALRasterBandH band = bandOf(raster);
    if (!band)
        return ReadFailed;
    const int width = raster->header.width;
    const int height = raster->header.height;
    const long long across = (width + raster->blockWidth - 1) / raster->blockWidth;
    const long long down = (height + raster->blockHeight - 1) / raster->blockHeight;
    if (across * down <= kCoverageBlocks && neverWritten(raster, band, 0, 0, width, height)) {
        *content = Empty;
        return Done;
    }
    // Blocks on a lattice spread over the whole raster, all of them when
    // the budget allows.
    const long long blockCells = 1LL * raster->blockWidth * raster->blockHeight;
    const long long affordable = std::clamp(budget / blockCells, 1LL, kSampledBlocks);
    long long columns = across;
    long long rows = down;
    if (across * down > affordable) {
        columns =
            std::clamp(std::llround(std::sqrt(double(affordable) * across / down)), 1LL, across);
        rows = std::clamp(affordable / columns, 1LL, down);
    }
    std::vector<double> cells;
    for (long long j = 0; j < rows; ++j) {
        for (long long i = 0; i < columns; ++i) {
            const int x = int((2 * i + 1) * across / (2 * columns)) * raster->blockWidth;
            const int y = int((2 * j + 1) * down / (2 * rows)) * raster->blockHeight;
            const int w = std::min(raster->blockWidth, width - x);
            const int h = std::min(raster->blockHeight, height - y);
            if (neverWritten(raster, band, x, y, w, h))
                continue;
            // A few lines of the block at a time, the block itself being
            // in GDAL's cache.
            const int lines = int(std::clamp(kScanCells / w, 1LL, (long long)h));
            cells.resize(std::size_t(w) * lines);
            for (int top = y; top < y + h; top += lines) {
                const int n = std::min(lines, y + h - top);
                if (GDALRasterIO(band, GF_Read, x, top, w, n, cells.data(), w, n, GDT_Float64, 0,
                                 0) != CE_None)
                    return ReadFailed;
                for (long long k = 0; k < 1LL * w * n; ++k) {
                    if (!std::isnan(altitude(*raster, cells[k]))) {
                        *content = HasData;
                        return Done;
                    }
                }
            }
        }
    }
    *content = columns == across && rows == down ? Empty : Unknown;
    return Done;
}

double Gdal::altitude(const Raster &raster, double value)
{
    if (std::isnan(value) || (raster.hasNoData && value == raster.noData))
        return std::numeric_limits<double>::quiet_NaN();
    const double metres = value * raster.scale + raster.offset;
    return metres >= kLowestAltitude && metres <= kHighestAltitude
               ? metres
               : std::numeric_limits<double>::quiet_NaN();
}

bool Gdal::neverWritten(const Raster *raster, GDALRasterBandH band, int x, int y, int w, int h)
{
    const int flags = GDALGetDataCoverageStatus(band, x, y, w, h, 0, nullptr);
    return raster->hasNoData && (flags & GDAL_DATA_COVERAGE_STATUS_EMPTY) &&
           !(flags & (GDAL_DATA_COVERAGE_STATUS_DATA | GDAL_DATA_COVERAGE_STATUS_UNIMPLEMENTED));
}

} // namespace TerrainModule
