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

// The picture in `epsg`: the box its outline fills, and the size there of
// one of its pixels at its centre.
struct Frame
{
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    double across = 0; // system units for one pixel eastwards
    double down = 0;   // system units for one pixel southwards
};
bool frameIn(GDALDatasetH picture, int epsg, Frame &frame);

// Warps `source` into the whole of `target` (which has its own system and
// geotransform), papering the ground outside the map white.
bool warpInto(GDALDatasetH source, GDALDatasetH target, Stage &stage);

// Overviews of `dataset` at `factors`, each pixel the mean of those below.
bool buildOverviews(GDALDatasetH dataset, const std::vector<int> &factors, Stage &stage);

// MBTiles: the file of the request, and its zoom levels in `result`.
bool writeMBTiles(const MapExportApi::Request &request, GDALDatasetH picture, const Frame &frame,
                  MapExportApi::Result *result, bool *cancelled);

// KMZ: the output grid in degrees, cut into tiles.
struct KmzGrid
{
    double west = 0, north = 0;
    double xResolution = 0, yResolution = 0; // degrees per output pixel
    long long width = 0, height = 0;
    int columns = 0, rows = 0;

    // The first output pixel of tile column/row `i`: the tiles share the
    // width and height out as evenly as whole pixels allow.
    long long columnStart(int i) const { return width * i / columns; }
    long long rowStart(int i) const { return height * i / rows; }
    double longitude(long long column) const { return west + column * xResolution; }
    double latitude(long long row) const { return north - row * yResolution; }
};
bool kmzGridOf(const MapExportApi::Request &request, GDALDatasetH picture, KmzGrid &grid);
bool writeKmz(const MapExportApi::Request &request, GDALDatasetH picture, const KmzGrid &grid,
              bool *cancelled, Failure &failure);

} // namespace MapExportModule
