// The map export module: GDAL behind the narrow interface of
// mapexport/mapexportapi.h. Loaded by the program the first time a map is
// exported. The MBTiles and KMZ writers and the warp they share are in the
// files beside this one.

#include "gdalguard/gdalguard.h"
#include "mapexport/mapexportapi.h"
#include "mapexport/mapexportgdal.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_frmts.h>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <sys/statvfs.h>

using namespace MapExportApi;
using namespace MapExportModule;

namespace {

// GDAL's block cache during an export: small beside the picture the program
// already holds, and large enough that no tile is read twice.
constexpr long long kCacheBytes = 4LL * 1024 * 1024;

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
        // PROJ never fetches a grid: the same map gives the same file on
        // every machine with the same packages. The one setting made for
        // the whole process, as the terrain module makes it too.
        OSRSetPROJEnableNetwork(FALSE);
    });
}

// Nothing is written beside an export (no .aux.xml). Set for the export's
// own calls only, on its thread: the terrain module shares the process's
// GDAL and reads models whose scale or placement may live in such a file.
const char *const kScopedOptions[][2] = {{"GDAL_PAM_ENABLED", "NO"}};

// The export's thread-local GDAL options, and the caller's that they hide.
class ScopedOptions
{
public:
    void apply()
    {
        m_before.clear();
        for (const auto &option : kScopedOptions) {
            const char *before = CPLGetThreadLocalConfigOption(option[0], nullptr);
            m_before.emplace_back(before ? std::optional<std::string>(before) : std::nullopt);
            CPLSetThreadLocalConfigOption(option[0], option[1]);
        }
    }
    void restore()
    {
        for (std::size_t i = 0; i < m_before.size(); ++i)
            CPLSetThreadLocalConfigOption(kScopedOptions[i][0],
                                          m_before[i] ? m_before[i]->c_str() : nullptr);
        m_before.clear();
    }

private:
    std::vector<std::optional<std::string>> m_before;
};

// The options of the export running on this thread, put aside while the
// caller's progress runs: it may run the program's event loop, and a
// terrain lookup with it.
thread_local ScopedOptions *t_exportOptions = nullptr;

// Records the first failure GDAL reports during an export, and the errno of
// the system call behind it (read before anything else in the handler can
// change it).
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
        m_options.apply();
        t_exportOptions = &m_options;
        CPLErrorReset();
        CPLPushErrorHandlerEx(collectFailure, &failure);
        m_cache = GDALGetCacheMax64();
        GDALSetCacheMax64(kCacheBytes);
    }
    ~Session()
    {
        t_exportOptions = nullptr;
        m_options.restore();
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
    ScopedOptions m_options;
    long long m_cache = 0;
    std::vector<const char *> m_added;
};

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

} // namespace

namespace MapExportModule {

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
    if (t_exportOptions)
        t_exportOptions->restore();
    const int goOn = r.progress(fraction, r.context);
    if (t_exportOptions)
        t_exportOptions->apply();
    if (goOn == 0) {
        *stage->cancelled = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace MapExportModule

namespace {

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
        Placement placement;
        if (!placementOf(*request, picture.get(), placement)) {
            result->status = NoConversion;
            return;
        }
        // Stretched towards the pole, such a map would be clamped to the
        // last row of tiles and land in the wrong place.
        if (placement.degrees.maxY > kMercatorLatitude ||
            placement.degrees.minY < -kMercatorLatitude) {
            result->status = BeyondMercator;
            return;
        }
        written = writeMBTiles(*request, picture.get(), placement, result, &cancelled);
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
