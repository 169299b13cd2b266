// The terrain module: GDAL behind the narrow interface of terrain/terrainapi.h.
// Loaded by the program the first time a command asks for an altitude.

#include "gdalguard/gdalguard.h"
#include "terrain/heightunit.h"
#include "terrain/systemcode.h"
#include "terrain/terrainapi.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace TerrainApi;

namespace {

// GDAL's block cache: enough for the blocks of a long profile across a few
// tiles, small beside the map picture the program already holds.
constexpr long long kCacheBytes = 64LL * 1024 * 1024;
// Cells converted at once when looking for an altitude in a block.
constexpr long long kScanCells = 1 << 20;
// Blocks whose presence GDAL is asked about at once over a whole raster,
// and blocks sampled at most when looking for an altitude: a header may
// claim billions of small tiles that the file cannot hold.
constexpr long long kCoverageBlocks = 1 << 18;
constexpr long long kSampledBlocks = 4096;
// Datasets kept open at once; the others are closed and reopened when read.
constexpr std::size_t kOpenDatasets = 32;
// Altitudes outside this range are taken for the fill values of files that
// declare none (-32768, -3.4e38...): no land lies below the shore of the Dead
// Sea (-430 m) or above Everest (8849 m).
constexpr double kLowestAltitude = -1000;
constexpr double kHighestAltitude = 9000;

constexpr double kHalfTurn = 180.0; // degrees of longitude
constexpr char kEd50Crs[] = "EPSG:4230";
constexpr char kWgs84Crs[] = "EPSG:4326";

// The formats of elevation models, and the pictures someone may take for one
// (so that they get their own message): the only drivers a model is opened
// with. Those that read a whole text file to open it (XYZ) must not make a
// folder of notes slow; those that reach a server are gone from the process
// (gdalguard/gdalguard.h).
const char *const kDrivers[] = {"GTiff",   "VRT",     "SRTMHGT", "AAIGrid",     "GRASSASCIIGrid",
                                "DTED",    "USGSDEM", "HFA",     "AIG",         "EHdr",
                                "ENVI",    "ERS",     "BT",      "GSAG",        "GSBG",
                                "GS7BG",   "SAGA",    "RST",     "ILWIS",       "RMF",
                                "NWT_GRD", "ACE2",    "JDEM",    "Leveller",    "Terragen",
                                "HF2",     "RRASTER", "JPEG",    "PNG",         "GIF",
                                "BMP",     "WEBP",    "PNM",     "JP2OpenJPEG", nullptr};

// GDAL is one library for the whole process, which the program's other
// modules may use with settings of their own: what the terrain module needs
// is set for its own calls only, on the calling thread, and put back after.
// No folder is listed whole to open one of its files, no script runs from a
// virtual raster nor memory is read through one, and GDAL's complaints stay
// in its last-error record instead of the terminal. The guard keeps URLs from
// GDAL; should one slip past it, the URL file systems refuse every name and
// give up at once.
const char *const kScopedOptions[][2] = {{"GDAL_DISABLE_READDIR_ON_OPEN", "TRUE"},
                                         {"GDAL_VRT_ENABLE_PYTHON", "NO"},
                                         {"VRT_ALLOW_MEM_DRIVER", "NO"},
                                         {"CPL_VSIL_CURL_ALLOWED_FILENAME", "/quor/never"},
                                         {"CPL_VSIL_CURL_ALLOWED_EXTENSIONS", ".quor-never"},
                                         {"GDAL_HTTP_MAX_RETRY", "0"},
                                         {"GDAL_HTTP_CONNECTTIMEOUT", "1"},
                                         {"GDAL_HTTP_TIMEOUT", "1"}};

class Scope
{
public:
    Scope()
    {
        for (const auto &option : kScopedOptions) {
            const char *before = CPLGetThreadLocalConfigOption(option[0], nullptr);
            m_before.emplace_back(before ? std::optional<std::string>(before) : std::nullopt);
            CPLSetThreadLocalConfigOption(option[0], option[1]);
        }
        CPLPushErrorHandler(CPLQuietErrorHandler);
    }

    ~Scope()
    {
        CPLPopErrorHandler();
        for (std::size_t i = 0; i < m_before.size(); ++i)
            CPLSetThreadLocalConfigOption(kScopedOptions[i][0],
                                          m_before[i] ? m_before[i]->c_str() : nullptr);
    }

    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    std::vector<std::optional<std::string>> m_before;
};

GDALDatasetH openRaster(const char *path)
{
    return GDALOpenEx(path, GDAL_OF_RASTER | GDAL_OF_READONLY, kDrivers, nullptr, nullptr);
}

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

} // namespace

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

namespace {

bool isElevationType(GDALDataType type)
{
    switch (type) {
    case GDT_Int16:
    case GDT_UInt16:
    case GDT_Int32:
    case GDT_UInt32:
    case GDT_Float32:
    case GDT_Float64:
    case GDT_Int64:
    case GDT_UInt64:
        return true;
    default:
        return false;
    }
}

std::string wktOf(const OGRSpatialReference &srs)
{
    char *text = nullptr;
    const char *const options[] = {"FORMAT=WKT2_2019", nullptr};
    srs.exportToWkt(&text, options);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

// The module's GDAL: settings made once, the coordinate systems of the
// rasters, the transformations from map grids to them, and the datasets
// open now. One lock guards it all: GDAL's datasets are not to be shared
// between threads.
class Gdal
{
public:
    static Gdal &instance()
    {
        static Gdal gdal;
        return gdal;
    }

    Gdal(const Gdal &) = delete;
    Gdal &operator=(const Gdal &) = delete;

    std::mutex mutex;

    // A model that names what lies beyond its folder, on the network or
    // anywhere GDAL would block, is no model Quor can read.
    Status open(const char *path, Raster **out, Header *header)
    {
        if (!GdalGuard::isPlainLocalPath(path))
            return Unreadable;
        VSIStatBufL stat;
        if (VSIStatL(path, &stat) != 0)
            return Missing;
        if (!GdalGuard::mayOpen(path))
            return Unreadable;
        GDALDatasetH dataset = openRaster(path);
        if (!dataset)
            return Unreadable;
        if (!GdalGuard::usesOnlyItsFolder(dataset, path)) {
            GDALClose(dataset);
            return Unreadable;
        }
        auto raster = std::make_unique<Raster>();
        raster->path = path;
        raster->dataset = dataset;
        const Status status = describe(*raster);
        if (status != Done) {
            GDALClose(dataset);
            return status;
        }
        *header = raster->header;
        *out = raster.release();
        touch(*out);
        return Done;
    }

    void close(Raster *raster)
    {
        m_open.remove(raster);
        if (raster->dataset)
            GDALClose(raster->dataset);
        delete raster;
    }

    Status read(Raster *raster, int column, int row, int columns, int rows, double *metres)
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

    Status hasData(Raster *raster, long long budget, Content *content)
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
            columns = std::clamp(std::llround(std::sqrt(double(affordable) * across / down)), 1LL,
                                 across);
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
                    if (GDALRasterIO(band, GF_Read, x, top, w, n, cells.data(), w, n, GDT_Float64,
                                     0, 0) != CE_None)
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

    // The transformation from the map's grid to `system`, made the first
    // time it is asked for; null for a system the module never gave.
    const Transform *transform(int system, const Frame &frame, const Area &area)
    {
        if (system < 0 || std::size_t(system) >= m_systems.size())
            return nullptr;
        const TransformKey key{system,    frame.zone, frame.southern, frame.ed50,
                               area.west, area.south, area.east,      area.north};
        auto found = m_transforms.find(key);
        if (found == m_transforms.end())
            found = m_transforms.emplace(key, choose(m_systems[system], frame, area)).first;
        return &found->second;
    }

private:
    Gdal() : m_context(proj_context_create())
    {
        // Whatever PROJ_NETWORK or proj.ini say, for GDAL's own PROJ
        // contexts too: the program never downloads a datum grid.
        OSRSetPROJEnableNetwork(FALSE);
        proj_context_set_enable_network(m_context, 0);
        GDALSetCacheMax64(kCacheBytes);
        GDALAllRegister();
    }

    ~Gdal() { proj_context_destroy(m_context); }

    // The header of a freshly opened raster, or why it is no elevation model.
    Status describe(Raster &raster)
    {
        GDALDatasetH dataset = raster.dataset;
        if (GDALGetRasterCount(dataset) < 1)
            return Unreadable;
        GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
        if (GDALGetRasterCount(dataset) > 1 || GDALGetRasterColorTable(band) ||
            !isElevationType(GDALGetRasterDataType(band)))
            return NotElevation;
        Header &h = raster.header;
        h.width = GDALGetRasterXSize(dataset);
        h.height = GDALGetRasterYSize(dataset);
        const OGRSpatialReferenceH found = GDALGetSpatialRef(dataset);
        const double *t = h.transform;
        if (GDALGetGeoTransform(dataset, h.transform) != CE_None || !found ||
            !(std::isfinite(t[1] * t[5] - t[2] * t[4]) && t[1] * t[5] - t[2] * t[4] != 0))
            return NotGeoreferenced;
        OGRSpatialReference srs(*OGRSpatialReference::FromHandle(found));
        srs.StripVertical();
        if (!SystemCode::matchesKind(srs))
            srs = SystemCode::withoutCodes(srs);
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (!srs.IsProjected() && !srs.IsGeographic())
            return NotGeoreferenced;
        GDALGetBlockSize(band, &raster.blockWidth, &raster.blockHeight);
        raster.blockWidth = std::max(raster.blockWidth, 1);
        raster.blockHeight = std::max(raster.blockHeight, 1);
        if (double(raster.blockWidth) * raster.blockHeight *
                GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band)) >
            double(kCacheBytes))
            return BlocksTooLarge;
        int has = 0;
        raster.noData = GDALGetRasterNoDataValue(band, &has);
        raster.hasNoData = has != 0;
        const std::optional<double> unit = HeightUnit::metres(GDALGetRasterUnitType(band));
        if (!unit)
            return UnknownUnit;
        raster.scale = GDALGetRasterScale(band, nullptr) * *unit;
        raster.offset = GDALGetRasterOffset(band, nullptr) * *unit;
        // A cell's sides on the ground: along a parallel and a meridian for
        // degrees, at the raster's middle latitude.
        const double across = std::hypot(t[1], t[4]);
        const double down = std::hypot(t[2], t[5]);
        if (srs.IsGeographic()) {
            const double metresPerAngle = srs.GetSemiMajor() * srs.GetAngularUnits();
            const double middle =
                (t[3] + t[4] * h.width / 2 + t[5] * h.height / 2) * srs.GetAngularUnits();
            h.cellWidth = across * metresPerAngle * std::cos(middle);
            h.cellHeight = down * metresPerAngle;
        } else {
            h.cellWidth = across * srs.GetLinearUnits();
            h.cellHeight = down * srs.GetLinearUnits();
        }
        h.system = systemOf(srs);
        return Done;
    }

    int systemOf(const OGRSpatialReference &srs)
    {
        const std::string wkt = wktOf(srs);
        for (std::size_t i = 0; i < m_systems.size(); ++i) {
            if (m_systems[i].wkt == wkt)
                return int(i);
        }
        m_systems.push_back({srs, wkt});
        return int(m_systems.size() - 1);
    }

    static double altitude(const Raster &raster, double value)
    {
        if (std::isnan(value) || (raster.hasNoData && value == raster.noData))
            return std::numeric_limits<double>::quiet_NaN();
        const double metres = value * raster.scale + raster.offset;
        return metres >= kLowestAltitude && metres <= kHighestAltitude
                   ? metres
                   : std::numeric_limits<double>::quiet_NaN();
    }

    // Whether the file says the window was never written, so that it holds
    // nothing but its no-data value (a sparse GeoTIFF).
    static bool neverWritten(const Raster *raster, GDALRasterBandH band, int x, int y, int w, int h)
    {
        const int flags = GDALGetDataCoverageStatus(band, x, y, w, h, 0, nullptr);
        return raster->hasNoData && (flags & GDAL_DATA_COVERAGE_STATUS_EMPTY) &&
               !(flags &
                 (GDAL_DATA_COVERAGE_STATUS_DATA | GDAL_DATA_COVERAGE_STATUS_UNIMPLEMENTED));
    }

    // The band of a raster, reopening its file when it was closed to make
    // room for others.
    GDALRasterBandH bandOf(Raster *raster)
    {
        if (!raster->dataset) {
            // Checked again: the folder may have changed since.
            if (GdalGuard::mayOpen(raster->path))
                raster->dataset = openRaster(raster->path.c_str());
            if (!raster->dataset || !GdalGuard::usesOnlyItsFolder(raster->dataset, raster->path) ||
                GDALGetRasterCount(raster->dataset) != 1 ||
                GDALGetRasterXSize(raster->dataset) != raster->header.width ||
                GDALGetRasterYSize(raster->dataset) != raster->header.height) {
                if (raster->dataset)
                    GDALClose(raster->dataset);
                raster->dataset = nullptr;
                return nullptr;
            }
        }
        touch(raster);
        return GDALGetRasterBand(raster->dataset, 1);
    }

    void touch(Raster *raster)
    {
        m_open.remove(raster);
        m_open.push_front(raster);
        while (m_open.size() > kOpenDatasets) {
            Raster *oldest = m_open.back();
            m_open.pop_back();
            GDALClose(oldest->dataset);
            oldest->dataset = nullptr;
        }
    }

    // The operation from the map's grid to `system` that `cs2cs --bbox`
    // would use at the area's centre: the candidates PROJ keeps for the area
    // (installed grids only, the network being off), then the one it picks
    // for the centre. OGR is then given that very operation, so that every
    // point of the map goes through it and positions never jump where the
    // areas of two candidates meet.
    Transform choose(const System &system, const Frame &frame, const Area &area)
    {
        Transform made;
        OGRSpatialReference grid;
        grid.SetFromUserInput(frame.ed50 ? kEd50Crs : kWgs84Crs);
        grid.SetUTM(frame.zone, !frame.southern);
        grid.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference degrees;
        degrees.CopyGeogCSFrom(&grid);
        degrees.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        // The centre in the grid's own datum, by the projection alone.
        std::unique_ptr<OGRCoordinateTransformation> projection(
            OGRCreateCoordinateTransformation(&degrees, &grid));
        double x = (area.west + area.east) / 2;
        double y = (area.south + area.north) / 2;
        if (!projection || !projection->Transform(1, &x, &y))
            return made;

        PJ *source = proj_create(m_context, wktOf(grid).c_str());
        PJ *target = proj_create(m_context, system.wkt.c_str());
        PJ_AREA *bbox = proj_area_create();
        // The map's longitudes run on past 180 across the antimeridian;
        // PROJ's boxes hold [-180, 180], west beyond east for such an area.
        if (area.east - area.west < 2 * kHalfTurn)
            proj_area_set_bbox(bbox, std::remainder(area.west, 2 * kHalfTurn), area.south,
                               std::remainder(area.east, 2 * kHalfTurn), area.north);
        else
            proj_area_set_bbox(bbox, -kHalfTurn, area.south, kHalfTurn, area.north);
        PJ *candidates = source && target ? proj_create_crs_to_crs_from_pj(m_context, source,
                                                                           target, bbox, nullptr)
                                          : nullptr;
        proj_area_destroy(bbox);
        PJ *used = nullptr;
        if (candidates) {
            const PJ_COORD out = proj_trans(candidates, PJ_FWD, proj_coord(x, y, 0, 0));
            if (std::isfinite(out.xy.x) && std::isfinite(out.xy.y)) {
                used = proj_trans_get_last_used_operation(candidates);
                // A single candidate is kept as it is, and PROJ never records
                // it as used.
                if (!used)
                    std::swap(used, candidates);
            }
        }
        if (used) {
            const char *definition = proj_as_proj_string(m_context, used, PJ_PROJ_5, nullptr);
            if (!definition)
                definition = proj_as_wkt(m_context, used, PJ_WKT2_2019, nullptr);
            OGRCoordinateTransformationOptions options;
            if (definition && options.SetCoordinateOperation(definition, false)) {
                made.ct.reset(OGRCreateCoordinateTransformation(&grid, &system.srs, options));
                made.name = proj_get_name(used) ? proj_get_name(used) : "";
            }
        }
        for (PJ *p : {source, target, candidates, used})
            proj_destroy(p);
        return made;
    }

    PJ_CONTEXT *m_context;
    std::vector<System> m_systems;
    std::map<TransformKey, Transform> m_transforms;
    std::list<Raster *> m_open; // most recently used first
};

// Every entry point runs under the module's lock, with its own GDAL settings.
template <typename Call> auto guarded(Call call)
{
    Gdal &gdal = Gdal::instance();
    const std::lock_guard lock(gdal.mutex);
    const Scope scope;
    GdalGuard::confineDrivers();
    return call(gdal);
}

Status open(const char *path, Raster **raster, Header *header)
{
    return guarded([&](Gdal &gdal) { return gdal.open(path, raster, header); });
}

void close(Raster *raster)
{
    guarded([&](Gdal &gdal) { gdal.close(raster); });
}

Status read(Raster *raster, int column, int row, int columns, int rows, double *metres)
{
    return guarded(
        [&](Gdal &gdal) { return gdal.read(raster, column, row, columns, rows, metres); });
}

Status hasData(Raster *raster, long long budget, Content *content)
{
    return guarded([&](Gdal &gdal) { return gdal.hasData(raster, budget, content); });
}

Status toSystem(int system, Frame frame, Area area, int count, double *x, double *y,
                unsigned char *ok)
{
    return guarded([&](Gdal &gdal) {
        const Transform *transform = gdal.transform(system, frame, area);
        if (!transform || !transform->ct)
            return NoConversion;
        std::vector<int> success(std::max(count, 0));
        transform->ct->Transform(count, x, y, nullptr, success.data());
        for (int i = 0; i < count; ++i)
            ok[i] = success[i] && std::isfinite(x[i]) && std::isfinite(y[i]);
        return Done;
    });
}

const char *operation(int system, Frame frame, Area area)
{
    return guarded([&](Gdal &gdal) -> const char * {
        const Transform *transform = gdal.transform(system, frame, area);
        return transform && transform->ct ? transform->name.c_str() : nullptr;
    });
}

const Functions kFunctions{kVersion, open, close, read, hasData, toSystem, operation};

} // namespace

extern "C" __attribute__((visibility("default"))) const Functions *quor_terrain_functions()
{
    return &kFunctions;
}
