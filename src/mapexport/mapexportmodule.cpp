// The map export module: GDAL behind the narrow interface of
// mapexport/mapexportapi.h. Loaded by the program the first time a map is
// exported.

#include "gdalguard/gdalguard.h"
#include "mapexport/mapexportapi.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_minixml.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_frmts.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/statvfs.h>

using namespace MapExportApi;

namespace {

// GDAL's block cache during an export, what the warper may hold at once
// (source and destination chunks together), and the rows of a level that
// an overview is computed from at once: small beside the picture the
// program already holds, and large enough that no tile is read twice. (For
// a 12000 x 9000 scan, larger ones gain nothing in time.)
constexpr long long kCacheBytes = 4LL * 1024 * 1024;
constexpr double kWarpMemoryBytes = 2.0 * 1024 * 1024;
constexpr int kOverviewChunkBytes = 1024 * 1024;
// The error of the approximate transformation, in output pixels: gdalwarp's.
constexpr double kMaxTransformError = 0.125;
// Tiles of the GeoTIFF and of MBTiles; a KMZ's are larger.
constexpr int kTileSize = 256;
// Web Mercator: the sphere's radius, and the width of the world at zoom 0.
constexpr double kMercatorRadius = 6378137.0;
constexpr double kWorldWidth = 2 * M_PI * kMercatorRadius;
// Deeper than any phone app zooms: a finer scan is reduced to it.
constexpr int kDeepestZoom = 24;
// A resolution that matches a zoom level's up to rounding matches it.
constexpr double kZoomTolerance = 1e-9;
constexpr unsigned char kPaperWhite = 255;
constexpr int kWgs84 = 4326;
constexpr int kWebMercator = 3857;
constexpr char kKml[] = "doc.kml";
constexpr char kKmlNamespace[] = "http://www.opengis.net/kml/2.2";

std::mutex g_mutex;

// The drivers an export needs: the MBTiles writer opens its database
// through the SQLite vector driver, and writes its tiles with the JPEG one
// (PNG being required beside it).
struct Driver
{
    const char *name;
    void (*registration)();
};
constexpr Driver kDrivers[] = {{"MEM", GDALRegister_MEM},     {"VRT", GDALRegister_VRT},
                               {"GTiff", GDALRegister_GTiff}, {"JPEG", GDALRegister_JPEG},
                               {"PNG", GDALRegister_PNG},     {"MBTiles", GDALRegister_MBTiles},
                               {"SQLite", RegisterOGRSQLite}};

void configureOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Nothing is written beside an export (no .aux.xml), and PROJ never
        // fetches a grid: the same map gives the same file on every machine
        // with the same packages.
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        OSRSetPROJEnableNetwork(FALSE);
    });
}

// The first failure GDAL reports during an export, and the errno of the
// system call behind it when there was one (read before anything else in the
// handler can change it).
struct Failure
{
    bool happened = false;
    bool interrupted = false;
    int error = 0;
    std::string message;
};

void CPL_STDCALL collectFailure(CPLErr level, CPLErrorNum number, const char *text)
{
    const int error = errno;
    auto *failure = static_cast<Failure *>(CPLGetErrorHandlerUserData());
    if (!failure || level < CE_Failure || failure->happened)
        return;
    failure->happened = true;
    failure->interrupted = number == CPLE_UserInterrupt;
    failure->error = error;
    failure->message = text ? text : "";
}

// Everything one export changes in GDAL's shared state, put back when it
// ends. The drivers are registered one by one rather than with
// GDALAllRegister, and those that were not there are removed again: the
// terrain module, sharing GDAL in the same process, keeps only the drivers
// it trusts with files from elsewhere (none that reaches the network), and
// finds the registry as it left it.
class Session
{
public:
    Session()
    {
        GdalGuard::confineDrivers();
        configureOnce();
        for (const Driver &driver : kDrivers) {
            if (GDALGetDriverByName(driver.name))
                continue;
            driver.registration();
            m_added.push_back(driver.name);
        }
        CPLErrorReset();
        CPLPushErrorHandlerEx(collectFailure, &failure);
        m_cache = GDALGetCacheMax64();
        GDALSetCacheMax64(kCacheBytes);
    }
    ~Session()
    {
        GDALSetCacheMax64(m_cache);
        CPLPopErrorHandler();
        for (const char *name : m_added) {
            if (GDALDriverH driver = GDALGetDriverByName(name)) {
                GDALDeregisterDriver(driver);
                GDALDestroyDriver(driver);
            }
        }
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    Failure failure;

private:
    long long m_cache = 0;
    std::vector<const char *> m_added;
};

// A share [start, end) of the request's progress, as GDAL reports it.
struct Stage
{
    const Request *request = nullptr;
    double start = 0;
    double end = 1;
    bool *cancelled = nullptr;
};

int CPL_STDCALL reportStage(double complete, const char *, void *data)
{
    auto *stage = static_cast<Stage *>(data);
    if (*stage->cancelled)
        return FALSE;
    const Request &r = *stage->request;
    if (!r.progress)
        return TRUE;
    const double fraction =
        stage->start + std::clamp(complete, 0.0, 1.0) * (stage->end - stage->start);
    if (r.progress(fraction, r.context) == 0) {
        *stage->cancelled = true;
        return FALSE;
    }
    return TRUE;
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Why a step that GDAL refused failed.
void fail(const Request &request, const Failure &failure, bool cancelled, Result *result)
{
    if (cancelled || failure.interrupted) {
        result->status = Cancelled;
        return;
    }
    switch (failure.error) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
    case EIO:
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
        result->status = WriteFailed;
        result->error = failure.error;
        return;
    default:
        break;
    }
    // Some writers lose the errno on the way: a disk with no room left says
    // it all the same.
    struct statvfs disk;
    if (::statvfs(directoryOf(request.path).c_str(), &disk) == 0 && disk.f_bavail == 0) {
        result->status = WriteFailed;
        result->error = ENOSPC;
        return;
    }
    result->status = Failed;
    std::snprintf(result->message, sizeof result->message, "%s",
                  failure.message.empty() ? "GDAL" : failure.message.c_str());
}

// What GDAL or SQLite may have left at `path` after a failure.
void removeOutput(const char *path)
{
    const std::string p = path;
    for (const char *suffix : {"", "-journal", "-wal", "-shm", ".ovr", ".aux.xml"})
        VSIUnlink((p + suffix).c_str());
}

struct DatasetCloser
{
    void operator()(void *dataset) const
    {
        if (dataset)
            GDALClose(dataset);
    }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct WarpOptionsDeleter
{
    void operator()(GDALWarpOptions *options) const { GDALDestroyWarpOptions(options); }
};
using WarpOptions = std::unique_ptr<GDALWarpOptions, WarpOptionsDeleter>;

struct TransformerDeleter
{
    void operator()(void *transformer) const
    {
        if (transformer)
            GDALDestroyTransformer(transformer);
    }
};
using Transformer = std::unique_ptr<void, TransformerDeleter>;

// The picture as a GDAL dataset without a copy: each band of a MEM dataset
// points into the program's own buffer.
Dataset pictureDataset(const Request &request, const OGRSpatialReference &system)
{
    const Picture &p = request.picture;
    Dataset dataset(
        GDALCreate(GDALGetDriverByName("MEM"), "", p.width, p.height, 0, GDT_Byte, nullptr));
    if (!dataset)
        return dataset;
    const GDALColorInterp colours[3] = {GCI_RedBand, GCI_GreenBand, GCI_BlueBand};
    for (int b = 0; b < 3; ++b) {
        char pointer[64] = {};
        CPLPrintPointer(pointer, const_cast<unsigned char *>(p.band[b]), sizeof pointer - 1);
        CPLStringList options;
        options.SetNameValue("DATAPOINTER", pointer);
        options.SetNameValue("PIXELOFFSET", CPLSPrintf("%d", p.pixelStride));
        options.SetNameValue("LINEOFFSET", CPLSPrintf("%lld", p.lineStride));
        if (GDALAddBand(dataset.get(), GDT_Byte, options.List()) != CE_None)
            return Dataset();
        GDALSetRasterColorInterpretation(GDALGetRasterBand(dataset.get(), b + 1), colours[b]);
    }
    GDALSetGeoTransform(dataset.get(), const_cast<double *>(request.transform));
    GDALSetSpatialRef(dataset.get(),
                      OGRSpatialReference::ToHandle(const_cast<OGRSpatialReference *>(&system)));
    return dataset;
}

bool systemOf(int epsg, OGRSpatialReference &system)
{
    if (system.importFromEPSG(epsg) != OGRERR_NONE)
        return false;
    system.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return true;
}

std::string wktOf(int epsg)
{
    OGRSpatialReference system;
    if (!systemOf(epsg, system))
        return {};
    char *text = nullptr;
    system.exportToWkt(&text);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

// From the picture's pixels to positions of `epsg` (longitude first), or
// null when PROJ has no way there.
Transformer toSystem(GDALDatasetH picture, int epsg)
{
    const std::string wkt = wktOf(epsg);
    if (wkt.empty())
        return Transformer();
    CPLStringList options;
    options.SetNameValue("DST_SRS", wkt.c_str());
    return Transformer(GDALCreateGenImgProjTransformer2(picture, nullptr, options.List()));
}

// The picture in `epsg`: the box its outline fills, and the size there of
// one of its pixels at its centre.
struct Frame
{
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    double across = 0; // system units for one pixel eastwards
    double down = 0;   // system units for one pixel southwards
};

// Points along each side of the picture: a straight side in UTM bends a
// little in degrees or in Web Mercator, never enough to move between them.
constexpr int kSideSamples = 64;

bool frameIn(GDALDatasetH picture, int epsg, Frame &frame)
{
    Transformer transformer = toSystem(picture, epsg);
    if (!transformer)
        return false;
    const double width = GDALGetRasterXSize(picture);
    const double height = GDALGetRasterYSize(picture);
    std::vector<double> x, y;
    for (int i = 0; i <= kSideSamples; ++i) {
        const double t = double(i) / kSideSamples;
        for (const auto &[px, py] : {std::pair(t * width, 0.0), std::pair(t * width, height),
                                     std::pair(0.0, t * height), std::pair(width, t * height)}) {
            x.push_back(px);
            y.push_back(py);
        }
    }
    // The centre and its neighbours one pixel right and one pixel down.
    const std::size_t centre = x.size();
    x.insert(x.end(), {width / 2, width / 2 + 1, width / 2});
    y.insert(y.end(), {height / 2, height / 2, height / 2 + 1});
    std::vector<double> z(x.size(), 0.0);
    std::vector<int> ok(x.size(), 0);
    if (!GDALGenImgProjTransform(transformer.get(), FALSE, int(x.size()), x.data(), y.data(),
                                 z.data(), ok.data()))
        return false;
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return false;
    frame.minX = *std::min_element(x.begin(), x.begin() + centre);
    frame.maxX = *std::max_element(x.begin(), x.begin() + centre);
    frame.minY = *std::min_element(y.begin(), y.begin() + centre);
    frame.maxY = *std::max_element(y.begin(), y.begin() + centre);
    // Lengths of a pixel's sides projected on the system's axes: a pixel
    // turned on the map is as long eastwards as its side's length.
    frame.across = std::hypot(x[centre + 1] - x[centre], x[centre + 2] - x[centre]);
    frame.down = std::hypot(y[centre + 1] - y[centre], y[centre + 2] - y[centre]);
    return std::isfinite(frame.minX) && std::isfinite(frame.maxX) && std::isfinite(frame.minY) &&
           std::isfinite(frame.maxY) && frame.across > 0 && frame.down > 0 &&
           frame.maxX > frame.minX && frame.maxY > frame.minY;
}

// Warps `source` into the whole of `target` (which has its own system and
// geotransform), papering the ground outside the map white.
bool warpInto(GDALDatasetH source, GDALDatasetH target, Stage &stage)
{
    Transformer transformer(GDALCreateGenImgProjTransformer2(source, target, nullptr));
    if (!transformer)
        return false;
    void *approximate = GDALCreateApproxTransformer(GDALGenImgProjTransform, transformer.release(),
                                                    kMaxTransformError);
    GDALApproxTransformerOwnsSubtransformer(approximate, TRUE);
    Transformer owner(approximate);

    WarpOptions options(GDALCreateWarpOptions());
    options->hSrcDS = source;
    options->hDstDS = target;
    options->nBandCount = 3;
    options->panSrcBands = static_cast<int *>(CPLMalloc(3 * sizeof(int)));
    options->panDstBands = static_cast<int *>(CPLMalloc(3 * sizeof(int)));
    for (int b = 0; b < 3; ++b)
        options->panSrcBands[b] = options->panDstBands[b] = b + 1;
    // The output is never finer than the scan, so each output pixel is the
    // mean of the scan pixels it covers.
    options->eResampleAlg = GRA_Average;
    options->dfWarpMemoryLimit = kWarpMemoryBytes;
    options->papszWarpOptions =
        CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", CPLSPrintf("%d", kPaperWhite));
    // Whole tiles at a time: a JPEG tile written in two goes would be read
    // back and compressed twice.
    options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "OPTIMIZE_SIZE", "YES");
    options->pfnTransformer = GDALApproxTransform;
    options->pTransformerArg = approximate;
    options->pfnProgress = reportStage;
    options->pProgressArg = &stage;

    GDALWarpOperationH operation = GDALCreateWarpOperation(options.get());
    if (!operation)
        return false;
    const CPLErr error = GDALChunkAndWarpImage(operation, 0, 0, GDALGetRasterXSize(target),
                                               GDALGetRasterYSize(target));
    GDALDestroyWarpOperation(operation);
    return error == CE_None;
}

bool buildOverviews(GDALDatasetH dataset, const std::vector<int> &factors, Stage &stage)
{
    if (factors.empty())
        return true;
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", CPLSPrintf("%d", kOverviewChunkBytes));
    const CPLErr error =
        GDALBuildOverviews(dataset, "AVERAGE", int(factors.size()),
                           const_cast<int *>(factors.data()), 0, nullptr, reportStage, &stage);
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", nullptr);
    return error == CE_None;
}

// ------------------------------------------------------------------ GeoTIFF

// Halvings until the smallest overview fits in one tile.
std::vector<int> tiffOverviews(int width, int height)
{
    std::vector<int> factors;
    for (long long factor = 2; (width + factor / 2 - 1) / (factor / 2) > kTileSize ||
                               (height + factor / 2 - 1) / (factor / 2) > kTileSize;
         factor *= 2)
        factors.push_back(int(factor));
    return factors;
}

// Overviews take their compression from configuration options, set for this
// thread only while they are built.
class OverviewSettings
{
public:
    explicit OverviewSettings(int quality)
    {
        set("COMPRESS_OVERVIEW", "JPEG");
        set("PHOTOMETRIC_OVERVIEW", "YCBCR");
        set("INTERLEAVE_OVERVIEW", "PIXEL");
        set("JPEG_QUALITY_OVERVIEW", CPLSPrintf("%d", quality));
        set("GDAL_TIFF_OVR_BLOCKSIZE", CPLSPrintf("%d", kTileSize));
    }
    ~OverviewSettings()
    {
        for (const std::string &key : m_keys)
            CPLSetThreadLocalConfigOption(key.c_str(), nullptr);
    }
    OverviewSettings(const OverviewSettings &) = delete;
    OverviewSettings &operator=(const OverviewSettings &) = delete;

private:
    void set(const char *key, const char *value)
    {
        CPLSetThreadLocalConfigOption(key, value);
        m_keys.emplace_back(key);
    }
    std::vector<std::string> m_keys;
};

constexpr double kTiffPixelsShare = 0.7; // of the progress; the overviews take the rest

bool writeGeoTiff(const Request &request, GDALDatasetH picture, bool *cancelled)
{
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", CPLSPrintf("%d", kTileSize));
    options.SetNameValue("BLOCKYSIZE", CPLSPrintf("%d", kTileSize));
    options.SetNameValue("COMPRESS", "JPEG");
    options.SetNameValue("PHOTOMETRIC", "YCBCR");
    options.SetNameValue("JPEG_QUALITY", CPLSPrintf("%d", request.jpegQuality));
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    Stage pixels{&request, 0, kTiffPixelsShare, cancelled};
    Dataset out(GDALCreateCopy(GDALGetDriverByName("GTiff"), request.path, picture, FALSE,
                               options.List(), reportStage, &pixels));
    if (!out)
        return false;
    out.reset();
    // Reopened for update: the overviews go inside the file.
    const char *const drivers[] = {"GTiff", nullptr};
    out.reset(GDALOpenEx(request.path, GDAL_OF_RASTER | GDAL_OF_UPDATE, drivers, nullptr, nullptr));
    if (!out)
        return false;
    const OverviewSettings settings(request.jpegQuality);
    Stage overviews{&request, kTiffPixelsShare, 1, cancelled};
    if (!buildOverviews(out.get(), tiffOverviews(request.picture.width, request.picture.height),
                        overviews))
        return false;
    GDALFlushCache(out.get());
    out.reset();
    return CPLGetLastErrorType() < CE_Failure;
}

// ------------------------------------------------------------------ MBTiles

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

Pyramid pyramidOf(const Frame &frame)
{
    Pyramid p;
    // The deepest level whose pixels are no smaller than the scan's.
    const double scanPixel = std::max(frame.across, frame.down);
    const double deepest =
        std::floor(std::log2(kWorldWidth / (kTileSize * scanPixel)) + kZoomTolerance);
    p.deepest = int(std::clamp(deepest, 0.0, double(kDeepestZoom)));
    p.highest = p.deepest;
    while (p.highest > 0 && ((frame.maxX - frame.minX) / zoomResolution(p.highest) > kTileSize ||
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

bool writeMBTiles(const Request &request, GDALDatasetH picture, const Frame &frame, Result *result,
                  bool *cancelled)
{
    const Pyramid p = pyramidOf(frame);
    const long long width = (p.lastColumn - p.firstColumn + 1) * kTileSize;
    const long long height = (p.lastRow - p.firstRow + 1) * kTileSize;
    if (width > INT32_MAX || height > INT32_MAX)
        return false;
    const double resolution = zoomResolution(p.deepest);
    const double half = kWorldWidth / 2;
    double transform[6] = {-half + p.firstColumn * kTileSize * resolution, resolution, 0,
                           half - p.firstRow * kTileSize * resolution,     0,          -resolution};

    // The bounds in degrees of the extent itself, not of the whole tiles.
    OGRSpatialReference mercator, degrees;
    if (!systemOf(kWebMercator, mercator) || !systemOf(kWgs84, degrees))
        return false;
    std::unique_ptr<OGRCoordinateTransformation> inverse(
        OGRCreateCoordinateTransformation(&mercator, &degrees));
    double xs[2] = {frame.minX, frame.maxX};
    double ys[2] = {frame.minY, frame.maxY};
    if (!inverse || !inverse->Transform(2, xs, ys))
        return false;

    CPLStringList options;
    options.SetNameValue("TILE_FORMAT", "JPEG");
    options.SetNameValue("QUALITY", CPLSPrintf("%d", request.jpegQuality));
    options.SetNameValue("NAME", request.name);
    options.SetNameValue("DESCRIPTION", request.name);
    options.SetNameValue("BOUNDS",
                         CPLSPrintf("%.10f,%.10f,%.10f,%.10f", xs[0], ys[0], xs[1], ys[1]));
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
    if (!warpInto(picture, out.get(), warping))
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
    if (!whitenLevels(request, p, whitening))
        return false;

    // GDAL's writer records as the highest level the last one it could make,
    // not the last one built: the metadata is put right through GDAL's
    // SQLite driver.
    const std::string database = std::string("SQLite:") + request.path;
    const char *const sqlite[] = {"SQLite", nullptr};
    Dataset metadata(
        GDALOpenEx(database.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, sqlite, nullptr, nullptr));
    if (!metadata)
        return false;
    OGRLayerH none = GDALDatasetExecuteSQL(
        metadata.get(),
        CPLSPrintf("UPDATE metadata SET value = '%d' WHERE name = 'minzoom'", p.highest), nullptr,
        nullptr);
    if (none)
        GDALDatasetReleaseResultSet(metadata.get(), none);
    metadata.reset();
    result->minZoom = p.highest;
    result->maxZoom = p.deepest;
    return CPLGetLastErrorType() < CE_Failure;
}

// ---------------------------------------------------------------------- KMZ

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

// Latitude/longitude pixels as long and high on the ground as the scan's
// (times the reduction) at the extent's centre, over the whole frame: the
// last pixels are made a little smaller so that the grid ends exactly on
// the map's easternmost and southernmost points.
bool kmzGridOf(const Request &request, GDALDatasetH picture, KmzGrid &grid)
{
    Frame frame;
    if (!frameIn(picture, kWgs84, frame))
        return false;
    const double reduction = std::max(1.0, request.kmzReduction);
    const double across = frame.across * reduction;
    const double down = frame.down * reduction;
    const double spanX = frame.maxX - frame.minX;
    const double spanY = frame.maxY - frame.minY;
    grid.width = std::max(1LL, (long long)std::ceil(spanX / across - kZoomTolerance));
    grid.height = std::max(1LL, (long long)std::ceil(spanY / down - kZoomTolerance));
    grid.west = frame.minX;
    grid.north = frame.maxY;
    grid.xResolution = spanX / grid.width;
    grid.yResolution = spanY / grid.height;
    const long long columns = (grid.width + kMaxKmzTileSize - 1) / kMaxKmzTileSize;
    const long long rows = (grid.height + kMaxKmzTileSize - 1) / kMaxKmzTileSize;
    // Counted as they are, however absurd, so that the caller can say how
    // many; never more than an int can hold.
    grid.columns = int(std::min<long long>(columns, INT32_MAX / 2));
    grid.rows = int(std::min<long long>(rows, INT32_MAX / 2));
    return true;
}

// Writes one entry of the archive; a failed write keeps its errno, which
// the zip writer does not report.
bool store(const std::string &entryPath, const void *bytes, size_t size, Failure &failure)
{
    VSILFILE *entry = VSIFOpenL(entryPath.c_str(), "wb");
    bool ok = entry && VSIFWriteL(bytes, 1, size, entry) == size;
    int error = ok ? 0 : errno;
    if (entry && VSIFCloseL(entry) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok && !failure.happened) {
        failure.happened = true;
        failure.error = error;
        failure.message = "zip";
    }
    return ok;
}

std::string tileName(int row, int column)
{
    return CPLSPrintf("files/tile_%d_%d.jpg", row + 1, column + 1);
}

std::string kmlOf(const Request &request, const KmzGrid &grid)
{
    CPLXMLNode *kml = CPLCreateXMLNode(nullptr, CXT_Element, "kml");
    CPLAddXMLAttributeAndValue(kml, "xmlns", kKmlNamespace);
    CPLXMLNode *document = CPLCreateXMLNode(kml, CXT_Element, "Document");
    CPLCreateXMLElementAndValue(document, "name", request.name);
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            CPLXMLNode *overlay = CPLCreateXMLNode(document, CXT_Element, "GroundOverlay");
            CPLCreateXMLElementAndValue(overlay, "name",
                                        CPLSPrintf("%s %d-%d", request.name, row + 1, column + 1));
            CPLXMLNode *icon = CPLCreateXMLNode(overlay, CXT_Element, "Icon");
            CPLCreateXMLElementAndValue(icon, "href", tileName(row, column).c_str());
            CPLXMLNode *box = CPLCreateXMLNode(overlay, CXT_Element, "LatLonBox");
            // Neighbours compute a shared edge from the same pixel, so they
            // write the very same number for it.
            CPLCreateXMLElementAndValue(box, "north",
                                        CPLSPrintf("%.12f", grid.latitude(grid.rowStart(row))));
            CPLCreateXMLElementAndValue(box, "south",
                                        CPLSPrintf("%.12f", grid.latitude(grid.rowStart(row + 1))));
            CPLCreateXMLElementAndValue(
                box, "east", CPLSPrintf("%.12f", grid.longitude(grid.columnStart(column + 1))));
            CPLCreateXMLElementAndValue(
                box, "west", CPLSPrintf("%.12f", grid.longitude(grid.columnStart(column))));
        }
    }
    char *text = CPLSerializeXMLTree(kml);
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + text;
    CPLFree(text);
    CPLDestroyXMLNode(kml);
    return xml;
}

// One tile, warped from the picture into memory (3 MB at most), then
// compressed.
bool writeKmzTile(const Request &request, GDALDatasetH picture, const KmzGrid &grid, int row,
                  int column, const std::string &archive, Stage &stage, Failure &failure)
{
    const long long x0 = grid.columnStart(column), x1 = grid.columnStart(column + 1);
    const long long y0 = grid.rowStart(row), y1 = grid.rowStart(row + 1);
    double transform[6] = {grid.longitude(x0), grid.xResolution, 0, grid.latitude(y0), 0,
                           -grid.yResolution};
    OGRSpatialReference degrees;
    if (!systemOf(kWgs84, degrees))
        return false;
    Dataset tile(GDALCreate(GDALGetDriverByName("MEM"), "", int(x1 - x0), int(y1 - y0), 3, GDT_Byte,
                            nullptr));
    if (!tile || GDALSetGeoTransform(tile.get(), transform) != CE_None ||
        GDALSetSpatialRef(tile.get(), OGRSpatialReference::ToHandle(&degrees)) != CE_None ||
        !warpInto(picture, tile.get(), stage))
        return false;
    // Encoded in memory, then stored: GDAL's JPEG writer reads back what it
    // wrote, which a zip entry being written does not allow.
    const std::string encoded = CPLSPrintf("/vsimem/quor_kmz_tile_%p.jpg", tile.get());
    CPLStringList jpeg;
    jpeg.SetNameValue("QUALITY", CPLSPrintf("%d", request.jpegQuality));
    Dataset written(GDALCreateCopy(GDALGetDriverByName("JPEG"), encoded.c_str(), tile.get(), FALSE,
                                   jpeg.List(), nullptr, nullptr));
    if (!written) {
        VSIUnlink(encoded.c_str());
        return false;
    }
    written.reset();
    vsi_l_offset size = 0;
    const GByte *bytes = VSIGetMemFileBuffer(encoded.c_str(), &size, FALSE);
    const bool ok =
        bytes && store(archive + "/" + tileName(row, column), bytes, size_t(size), failure);
    VSIUnlink(encoded.c_str());
    return ok;
}

bool writeKmz(const Request &request, GDALDatasetH picture, const KmzGrid &grid, bool *cancelled,
              Failure &failure)
{
    // Braces keep GDAL from taking a ".kmz" or ".zip" earlier in the path
    // (a folder's name) for the archive.
    const std::string archive = std::string("/vsizip/{") + request.path + "}";
    // The zip writer makes the archive itself: the empty file that reserved
    // the name goes just before.
    VSIUnlink(request.path);
    // GDAL's zip writer: the archive stays open while its entries are
    // written one after the other, the KML first so that readers find it.
    VSILFILE *zip = VSIFOpenL(archive.c_str(), "wb");
    if (!zip)
        return false;
    const std::string kml = kmlOf(request, grid);
    bool ok = store(archive + "/" + kKml, kml.data(), kml.size(), failure);
    const int count = grid.rows * grid.columns;
    for (int i = 0; ok && i < count; ++i) {
        Stage stage{&request, double(i) / count, double(i + 1) / count, cancelled};
        ok = writeKmzTile(request, picture, grid, i / grid.columns, i % grid.columns, archive,
                          stage, failure);
    }
    if (VSIFCloseL(zip) != 0 && ok && !failure.happened) {
        failure.happened = true;
        failure.error = errno;
        ok = false;
    }
    return ok && CPLGetLastErrorType() < CE_Failure;
}

// ------------------------------------------------------------------- entries

bool usable(const Request *request)
{
    const Picture &p = request->picture;
    return request->name && p.width > 0 && p.height > 0 && p.band[0] && p.band[1] && p.band[2] &&
           p.pixelStride > 0 && p.lineStride > 0;
}

void exportMap(const Request *request, Result *result)
{
    *result = Result();
    if (!usable(request) || !request->path) {
        std::snprintf(result->message, sizeof result->message, "invalid request");
        result->status = Failed;
        return;
    }
    const std::lock_guard lock(g_mutex);
    Session session;
    OGRSpatialReference system;
    if (!systemOf(request->epsg, system)) {
        result->status = NoSystem;
        return;
    }
    Dataset picture = pictureDataset(*request, system);
    if (!picture) {
        fail(*request, session.failure, false, result);
        return;
    }
    bool cancelled = false;
    bool written = false;
    switch (request->format) {
    case GeoTiff:
        written = writeGeoTiff(*request, picture.get(), &cancelled);
        break;
    case MBTiles: {
        Frame frame;
        if (!frameIn(picture.get(), kWebMercator, frame)) {
            result->status = NoConversion;
            return;
        }
        written = writeMBTiles(*request, picture.get(), frame, result, &cancelled);
        break;
    }
    case Kmz: {
        KmzGrid grid;
        if (!kmzGridOf(*request, picture.get(), grid)) {
            result->status = NoConversion;
            return;
        }
        result->tileColumns = grid.columns;
        result->tileRows = grid.rows;
        result->tiles = int(std::min<long long>(1LL * grid.columns * grid.rows, INT32_MAX));
        if (result->tiles > kMaxKmzTiles) {
            result->status = TooManyTiles;
            return;
        }
        written = writeKmz(*request, picture.get(), grid, &cancelled, session.failure);
        break;
    }
    default:
        std::snprintf(result->message, sizeof result->message, "unknown format %d",
                      int(request->format));
        result->status = Failed;
        return;
    }
    if (!written || cancelled || session.failure.happened) {
        fail(*request, session.failure, cancelled, result);
        removeOutput(request->path);
    }
}

void kmzLayout(const Request *request, Result *result)
{
    *result = Result();
    if (!usable(request)) {
        std::snprintf(result->message, sizeof result->message, "invalid request");
        result->status = Failed;
        return;
    }
    const std::lock_guard lock(g_mutex);
    Session session;
    OGRSpatialReference system;
    if (!systemOf(request->epsg, system)) {
        result->status = NoSystem;
        return;
    }
    Dataset picture = pictureDataset(*request, system);
    KmzGrid grid;
    if (!picture || !kmzGridOf(*request, picture.get(), grid)) {
        result->status = NoConversion;
        return;
    }
    result->tileColumns = grid.columns;
    result->tileRows = grid.rows;
    result->tiles = int(std::min<long long>(1LL * grid.columns * grid.rows, INT32_MAX));
}

const Functions kFunctions{kVersion, exportMap, kmzLayout};

} // namespace

extern "C" __attribute__((visibility("default"))) const Functions *quor_mapexport_functions()
{
    return &kFunctions;
}
