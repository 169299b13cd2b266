#pragma once

// What the terrain module's files share: its one GDAL, with the rasters it
// opened, their coordinate systems and the transformations to them. Internal
// to the module (gdalmodule.cpp and the files beside it); the program sees
// only terrainapi.h.

#include "terrain/terrainapi.h"

#include <gdal.h>
#include <ogr_spatialref.h>
#include <proj.h>

#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

struct TerrainApi::Raster
{
    std::string path;
    GDALDatasetH dataset = nullptr; // null while closed
    Header header;
    bool hasNoData = false;
    double noData = 0;
    double scale = 1; // the band's scale and offset, and its unit in metres
    double offset = 0;
    int blockWidth = 1;
    int blockHeight = 1;
};

namespace TerrainModule {

struct System
{
    OGRSpatialReference srs; // horizontal, in the order of the rasters' geotransforms
    std::string wkt;         // WKT2, to tell systems apart and to hand to PROJ
};

struct Transform
{
    std::unique_ptr<OGRCoordinateTransformation> ct; // null: PROJ has no operation
    std::string name;
};

using TransformKey = std::tuple<int, int, bool, bool, double, double, double, double>;

std::string wktOf(const OGRSpatialReference &srs);

// The module's GDAL: settings made once, the coordinate systems of the
// rasters, the transformations from map grids to them, and the datasets
// open now. One lock guards it all: GDAL's datasets are not to be shared
// between threads.
class Gdal
{
public:
    static Gdal &instance();

    Gdal(const Gdal &) = delete;
    Gdal &operator=(const Gdal &) = delete;

    std::mutex mutex;

    TerrainApi::Status open(const char *path, TerrainApi::Raster **out, TerrainApi::Header *header);
    void close(TerrainApi::Raster *raster);
    TerrainApi::Status read(TerrainApi::Raster *raster, int column, int row, int columns, int rows,
                            double *metres);
    TerrainApi::Status hasData(TerrainApi::Raster *raster, long long budget,
                               TerrainApi::Content *content);
    // The transformation from the map's grid to `system`, made the first
    // time it is asked for; null for a system the module never gave.
    const Transform *transform(int system, const TerrainApi::Frame &frame,
                               const TerrainApi::Area &area);

private:
    Gdal();
    ~Gdal();

    // The header of a freshly opened raster, or why it is no elevation model.
    TerrainApi::Status describe(TerrainApi::Raster &raster);
    int systemOf(const OGRSpatialReference &srs);
    static double altitude(const TerrainApi::Raster &raster, double value);
    // Whether the file says the window was never written, so that it holds
    // nothing but its no-data value (a sparse GeoTIFF).
    static bool neverWritten(const TerrainApi::Raster *raster, GDALRasterBandH band, int x, int y,
                             int w, int h);
    // The band of a raster, reopening its file when it was closed to make
    // room for others.
    GDALRasterBandH bandOf(TerrainApi::Raster *raster);
    void touch(TerrainApi::Raster *raster);
    Transform choose(const System &system, const TerrainApi::Frame &frame,
                     const TerrainApi::Area &area);

    PJ_CONTEXT *m_context;
    std::vector<System> m_systems;
    std::map<TransformKey, Transform> m_transforms;
    std::list<TerrainApi::Raster *> m_open; // most recently used first
};

} // namespace TerrainModule
