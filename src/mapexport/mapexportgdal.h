#pragma once

// What the map export module's writers share: GDAL handles that close
// themselves, the progress of a step, the picture's frame in an output's
// system and the warp into it. Internal to the module (mapexportmodule.cpp
// and the writers beside it); the program sees only mapexportapi.h.

#include "mapexport/mapexportapi.h"

#include <gdal.h>
#include <gdal_alg.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>

#include <memory>
#include <string>
#include <vector>

namespace MapExportModule {

// Tiles of the GeoTIFF and of MBTiles; a KMZ's are larger.
constexpr int kTileSize = 256;
// A resolution that matches a zoom level's up to rounding matches it.
constexpr double kZoomTolerance = 1e-9;
constexpr unsigned char kPaperWhite = 255;
constexpr int kWgs84 = 4326;
constexpr int kWebMercator = 3857;

// The first failure GDAL reports during an export, and the errno of the
// system call behind it when there was one.
struct Failure
{
    bool happened = false;
    bool interrupted = false;
    int error = 0;
    std::string message;
};

// A share [start, end) of the request's progress, as GDAL reports it.
struct Stage
{
    const MapExportApi::Request *request = nullptr;
    double start = 0;
    double end = 1;
    bool *cancelled = nullptr;
};

// GDAL's progress callback for a Stage.
int CPL_STDCALL reportStage(double complete, const char *message, void *stage);

struct DatasetCloser
{
    void operator()(void *dataset) const
    {
        if (dataset)
            GDALClose(dataset);
    }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct TransformerDeleter
{
    void operator()(void *transformer) const
    {
        if (transformer)
            GDALDestroyTransformer(transformer);
    }
};
using Transformer = std::unique_ptr<void, TransformerDeleter>;

// EPSG's system of `epsg`, longitude (or easting) first.
bool systemOf(int epsg, OGRSpatialReference &system);

// An output's system and the one way there from the picture's positions:
// the request's operation, then the steps from WGS84 degrees to the
// output's axes, as a PROJ pipeline that GDAL is given rather than left to
// choose its own. Empty without the request's operation.
struct Output
{
    int epsg = 0;
    std::string operation;
    double centralMeridian = 0; // Web Mercator: the longitude where x is 0
};
// WGS84 latitude and longitude.
Output degreesOf(const MapExportApi::Request &request);
// Web Mercator about `centralMeridian`: 0 for the world's own; 180 keeps a
// map across the antimeridian in one piece.
Output mercatorOf(const MapExportApi::Request &request, double centralMeridian);

// The picture in an output's system: the box its outline fills, and the
// size there of one of its pixels at its centre. Longitudes are continuous
// about the centre: a map across the antimeridian has some beyond 180 or
// -180.
struct Frame
{
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    double across = 0; // system units for one pixel eastwards
    double down = 0;   // system units for one pixel southwards
};
bool frameIn(GDALDatasetH picture, const Output &output, Frame &frame);

// Warps `source` into the whole of `target` (which has the output's system
// and its own geotransform), papering the ground outside the map white.
bool warpInto(GDALDatasetH source, GDALDatasetH target, const Output &output, Stage &stage);

// Overviews of `dataset` at `factors`, each pixel the mean of those below.
bool buildOverviews(GDALDatasetH dataset, const std::vector<int> &factors, Stage &stage);

// MBTiles: where the picture lies in Web Mercator, about 180 degrees for a
// map across the antimeridian, and in degrees for the bounds.
struct Placement
{
    Output mercator;
    Frame frame;
    Frame degrees;
};
bool placementOf(const MapExportApi::Request &request, GDALDatasetH picture, Placement &placement);
// The file of the request, and its zoom levels in `result`.
bool writeMBTiles(const MapExportApi::Request &request, GDALDatasetH picture,
                  const Placement &placement, MapExportApi::Result *result, bool *cancelled);

// KMZ: the output grid in degrees, cut into tiles. A map across the
// antimeridian has a span of columns on each side of it, so that every
// tile's longitudes run west to east between -180 and 180.
struct KmzSpan
{
    double west = 0, east = 0;
    double xResolution = 0; // degrees per output pixel
    long long width = 0;
    int columns = 0;
};

struct KmzGrid
{
    KmzSpan spans[2];
    int spanCount = 0;
    double north = 0;
    double yResolution = 0;
    long long height = 0;
    int columns = 0, rows = 0; // columns of all spans

    // Tile column `column`: its span, and its first and last pixels
    // there. The tiles of a span share its width out as evenly as whole
    // pixels allow.
    struct Columns
    {
        const KmzSpan *span = nullptr;
        long long first = 0, end = 0;
        double west() const { return span->west + first * span->xResolution; }
        // The span's last tile ends on the span's very edge.
        double east() const
        {
            return end == span->width ? span->east : span->west + end * span->xResolution;
        }
    };
    Columns columnsOf(int column) const
    {
        const int inFirst = spans[0].columns;
        const KmzSpan &s = spans[column < inFirst ? 0 : 1];
        const long long i = column < inFirst ? column : column - inFirst;
        return {&s, s.width * i / s.columns, s.width * (i + 1) / s.columns};
    }
    long long rowStart(int i) const { return height * i / rows; }
    double latitude(long long row) const { return north - row * yResolution; }
};
bool kmzGridOf(const MapExportApi::Request &request, GDALDatasetH picture, KmzGrid &grid);
bool writeKmz(const MapExportApi::Request &request, GDALDatasetH picture, const KmzGrid &grid,
              bool *cancelled, Failure &failure);

} // namespace MapExportModule
