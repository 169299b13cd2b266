// The map export module's MBTiles writer: Web Mercator tiles through GDAL's
// MBTiles driver, the levels above built as gdaladdo builds them.

#include "mapexport/mapexportgdal.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <ogr_api.h>

#include <algorithm>
#include <cmath>

using namespace MapExportApi;

namespace MapExportModule {

namespace {

// Web Mercator: the sphere's radius, and the width of the world at zoom 0.
constexpr double kMercatorRadius = 6378137.0;
constexpr double kWorldWidth = 2 * M_PI * kMercatorRadius;
// Deeper than any phone app zooms: a finer scan is reduced to it.
constexpr int kDeepestZoom = 24;
constexpr double kHalfTurn = 180.0;

double zoomResolution(int zoom)
{
    return kWorldWidth / (kTileSize * std::ldexp(1.0, zoom));
}

struct Pyramid
{
    int deepest = 0;
    int highest = 0;
    // The tiles of the deepest level that the extent touches.
    long long firstColumn = 0, lastColumn = 0, firstRow = 0, lastRow = 0;
};

// `highest` is never above `top`.
Pyramid pyramidOf(const Frame &frame, int top)
{
    Pyramid p;
    // The deepest level whose pixels are no smaller than the scan's.
    const double scanPixel = std::max(frame.across, frame.down);
    const double deepest =
        std::floor(std::log2(kWorldWidth / (kTileSize * scanPixel)) + kZoomTolerance);
    p.deepest = int(std::clamp(deepest, double(top), double(kDeepestZoom)));
    p.highest = p.deepest;
    while (p.highest > top && ((frame.maxX - frame.minX) / zoomResolution(p.highest) > kTileSize ||
                               (frame.maxY - frame.minY) / zoomResolution(p.highest) > kTileSize))
        --p.highest;
    const double tile = kTileSize * zoomResolution(p.deepest);
    const double half = kWorldWidth / 2;
    const long long count = 1LL << p.deepest;
    const auto index = [&](double v) {
        return std::clamp<long long>((long long)std::floor(v / tile), 0, count - 1);
    };
    p.firstColumn = index(frame.minX + half);
    p.lastColumn = index(std::nextafter(frame.maxX, -half) + half);
    p.firstRow = index(half - frame.maxY);
    p.lastRow = index(half - std::nextafter(frame.minY, half));
    return p;
}

// How the file is opened again to write more tiles: in three bands and as
// JPEG (GDAL opens it in four, and writes tiles it takes for transparent as
// PNG), over all the tiles written rather than within the bounds, at `zoom`
// when given.
CPLStringList reopening(const Request &request, int zoom = -1)
{
    CPLStringList options;
    options.SetNameValue("BAND_COUNT", "3");
    options.SetNameValue("TILE_FORMAT", "JPEG");
    options.SetNameValue("QUALITY", CPLSPrintf("%d", request.jpegQuality));
    options.SetNameValue("USE_BOUNDS", "NO");
    if (zoom >= 0)
        options.SetNameValue("ZOOM_LEVEL", CPLSPrintf("%d", zoom));
    return options;
}

// The tiles of the levels above the deepest cover its tiles, seldom exactly:
// GDAL's JPEG tiles get black where they reach beyond. Each level is opened
// again on its own whole tiles, and that black is painted white, as the
// paper around the map is at the deepest level.
bool whitenLevels(const Request &request, const Pyramid &p, Stage &stage)
{
    const double half = kWorldWidth / 2;
    const double tile = kTileSize * zoomResolution(p.deepest);
    const double left = -half + p.firstColumn * tile;
    const double right = -half + (p.lastColumn + 1) * tile;
    const double top = half - p.firstRow * tile;
    const double bottom = half - (p.lastRow + 1) * tile;
    const char *const drivers[] = {"MBTiles", nullptr};
    for (int zoom = p.deepest - 1; zoom >= p.highest; --zoom) {
        if (reportStage(double(p.deepest - 1 - zoom) / (p.deepest - p.highest), nullptr, &stage) ==
            FALSE)
            return false;
        const CPLStringList open = reopening(request, zoom);
        Dataset level(GDALOpenEx(request.path, GDAL_OF_RASTER | GDAL_OF_UPDATE, drivers,
                                 open.List(), nullptr));
        double t[6];
        if (!level || GDALGetGeoTransform(level.get(), t) != CE_None)
            return false;
        const int width = GDALGetRasterXSize(level.get());
        const int height = GDALGetRasterYSize(level.get());
        // The level's pixels wholly outside the deepest level's tiles.
        const auto pixel = [](double v, int size) {
            return int(std::clamp(std::floor(v + kZoomTolerance), 0.0, double(size)));
        };
        const int x0 = pixel((left - t[0]) / t[1], width);
        const int x1 = pixel(std::ceil((right - t[0]) / t[1] - kZoomTolerance), width);
        const int y0 = pixel((t[3] - top) / -t[5], height);
        const int y1 = pixel(std::ceil((t[3] - bottom) / -t[5] - kZoomTolerance), height);
        const int strips[4][4] = {{0, 0, width, y0},
                                  {0, y1, width, height - y1},
                                  {0, y0, x0, y1 - y0},
                                  {x1, y0, width - x1, y1 - y0}};
        for (const auto &s : strips) {
            if (s[2] <= 0 || s[3] <= 0)
                continue;
            const std::vector<GByte> white(3 * std::size_t(s[2]) * std::size_t(s[3]), kPaperWhite);
            if (GDALDatasetRasterIO(level.get(), GF_Write, s[0], s[1], s[2], s[3],
                                    const_cast<GByte *>(white.data()), s[2], s[3], GDT_Byte, 3,
                                    nullptr, 0, 0, 0) != CE_None)
                return false;
        }
        GDALFlushCache(level.get());
    }
    return true;
}

constexpr double kMercatorWarpShare = 0.7;
constexpr double kOverviewsShare = 0.25; // then the white of the levels above

// A longitude between -180 and 180.
double wrapped(double longitude)
{
    return std::remainder(longitude, 2 * kHalfTurn);
}

// Runs statements on the file through GDAL's SQLite driver.
bool executeSql(const Request &request, const std::vector<std::string> &statements)
{
    const std::string database = std::string("SQLite:") + request.path;
    const char *const sqlite[] = {"SQLite", nullptr};
    Dataset file(
        GDALOpenEx(database.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, sqlite, nullptr, nullptr));
    if (!file)
        return false;
    for (const std::string &statement : statements) {
        OGRLayerH none = GDALDatasetExecuteSQL(file.get(), statement.c_str(), nullptr, nullptr);
        if (none)
            GDALDatasetReleaseResultSet(file.get(), none);
    }
    return CPLGetLastErrorType() < CE_Failure;
}

// GDAL's writer records as the highest level the last one it could make,
// not the last one built. A map across the antimeridian was tiled in Web
// Mercator about 180 degrees: each level's columns turn half a world, in
// two steps that never give two tiles the same place, and its bounds go
// west to east across the antimeridian, the west greater than the east.
bool finishMetadata(const Request &request, const Pyramid &p, const Placement &placement)
{
    std::vector<std::string> statements{
        CPLSPrintf("UPDATE metadata SET value = '%d' WHERE name = 'minzoom'", p.highest)};
    if (placement.mercator.centralMeridian != 0) {
        statements.emplace_back(
            "UPDATE tiles SET tile_column = tile_column + (3 << (zoom_level - 1))");
        statements.emplace_back("UPDATE tiles SET tile_column = tile_column % (1 << zoom_level)");
        const Frame &d = placement.degrees;
        statements.emplace_back(CPLSPrintf(
            "UPDATE metadata SET value = '%.10f,%.10f,%.10f,%.10f' WHERE name = 'bounds'",
            wrapped(d.minX), d.minY, wrapped(d.maxX), d.maxY));
    }
    return executeSql(request, statements);
}

} // namespace

bool placementOf(const Request &request, GDALDatasetH picture, Placement &placement)
{
    if (!frameIn(picture, degreesOf(request), placement.degrees))
        return false;
    const bool across = placement.degrees.minX < -kHalfTurn || placement.degrees.maxX > kHalfTurn;
    placement.mercator = mercatorOf(request, across ? kHalfTurn : 0);
    return frameIn(picture, placement.mercator, placement.frame);
}

bool writeMBTiles(const Request &request, GDALDatasetH picture, const Placement &placement,
                  Result *result, bool *cancelled)
{
    const Frame &frame = placement.frame;
    // About 180 degrees, the levels' columns are turned half a world at the
    // end, which level 0's one tile cannot be.
    const Pyramid p = pyramidOf(frame, placement.mercator.centralMeridian != 0 ? 1 : 0);
    const long long width = (p.lastColumn - p.firstColumn + 1) * kTileSize;
    const long long height = (p.lastRow - p.firstRow + 1) * kTileSize;
    if (width > INT32_MAX || height > INT32_MAX)
        return false;
    const double resolution = zoomResolution(p.deepest);
    const double half = kWorldWidth / 2;
    double transform[6] = {-half + p.firstColumn * kTileSize * resolution, resolution, 0,
                           half - p.firstRow * kTileSize * resolution,     0,          -resolution};
    OGRSpatialReference mercator;
    if (!systemOf(kWebMercator, mercator))
        return false;

    // The bounds in degrees of the extent itself, not of the whole tiles.
    const Frame &d = placement.degrees;
    CPLStringList options;
    options.SetNameValue("TILE_FORMAT", "JPEG");
    options.SetNameValue("QUALITY", CPLSPrintf("%d", request.jpegQuality));
    options.SetNameValue("NAME", request.name);
    options.SetNameValue("DESCRIPTION", request.name);
    options.SetNameValue("BOUNDS",
                         CPLSPrintf("%.10f,%.10f,%.10f,%.10f", d.minX, d.minY, d.maxX, d.maxY));
    // SQLite makes its database itself: the empty file that reserved the
    // name goes just before.
    VSIUnlink(request.path);
    Dataset out(GDALCreate(GDALGetDriverByName("MBTiles"), request.path, int(width), int(height), 3,
                           GDT_Byte, options.List()));
    if (!out)
        return false;
    if (GDALSetSpatialRef(out.get(), OGRSpatialReference::ToHandle(&mercator)) != CE_None ||
        GDALSetGeoTransform(out.get(), transform) != CE_None)
        return false;
    Stage warping{&request, 0, kMercatorWarpShare, cancelled};
    if (!warpInto(picture, out.get(), placement.mercator, warping))
        return false;

    // The levels above are built on the file opened again, as gdaladdo does
    // (the dataset that created the file has no handle on its database for
    // them), over all the tiles written rather than within the bounds.
    out.reset();
    const char *const drivers[] = {"MBTiles", nullptr};
    const CPLStringList whole = reopening(request);
    out.reset(
        GDALOpenEx(request.path, GDAL_OF_RASTER | GDAL_OF_UPDATE, drivers, whole.List(), nullptr));
    if (!out)
        return false;
    std::vector<int> factors;
    for (long long factor = 2; factor <= (1LL << (p.deepest - p.highest)); factor *= 2)
        factors.push_back(int(factor));
    Stage overviews{&request, kMercatorWarpShare, kMercatorWarpShare + kOverviewsShare, cancelled};
    if (!buildOverviews(out.get(), factors, overviews))
        return false;
    GDALFlushCache(out.get());
    out.reset();
    Stage whitening{&request, kMercatorWarpShare + kOverviewsShare, 1, cancelled};
    if (!whitenLevels(request, p, whitening) || !finishMetadata(request, p, placement))
        return false;
    result->minZoom = p.highest;
    result->maxZoom = p.deepest;
    return CPLGetLastErrorType() < CE_Failure;
}

} // namespace MapExportModule
