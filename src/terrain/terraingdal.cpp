#include "terraingdal.h"

#include "gdalguard/gdalguard.h"
#include "terrain/heightunit.h"
#include "terrain/systemcode.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace TerrainApi;

namespace TerrainModule {

namespace {

// GDAL's block cache: enough for the blocks of a long profile across a few
// tiles, small beside the map picture the program already holds.
constexpr long long kCacheBytes = 64LL * 1024 * 1024;
// Datasets kept open at once; the others are closed and reopened when read.
constexpr std::size_t kOpenDatasets = 32;

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

GDALDatasetH openRaster(const char *path)
{
    return GDALOpenEx(path, GDAL_OF_RASTER | GDAL_OF_READONLY, kDrivers, nullptr, nullptr);
}

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

} // namespace

std::string wktOf(const OGRSpatialReference &srs)
{
    char *text = nullptr;
    const char *const options[] = {"FORMAT=WKT2_2019", nullptr};
    srs.exportToWkt(&text, options);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

Gdal &Gdal::instance()
{
    static Gdal gdal;
    return gdal;
}

Gdal::Gdal() : m_context(proj_context_create())
{
    // Whatever PROJ_NETWORK or proj.ini say, for GDAL's own PROJ
    // contexts too: the program never downloads a datum grid.
    OSRSetPROJEnableNetwork(FALSE);
    proj_context_set_enable_network(m_context, 0);
    GDALSetCacheMax64(kCacheBytes);
    GDALAllRegister();
}

Gdal::~Gdal()
{
    proj_context_destroy(m_context);
}

// A model that names what lies beyond its folder, on the network or
// anywhere GDAL would block, is no model Quor can read.
Status Gdal::open(const char *path, Raster **out, Header *header)
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

void Gdal::close(Raster *raster)
{
    m_open.remove(raster);
    if (raster->dataset)
        GDALClose(raster->dataset);
    delete raster;
}

Status Gdal::describe(Raster &raster)
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

int Gdal::systemOf(const OGRSpatialReference &srs)
{
    const std::string wkt = wktOf(srs);
    for (std::size_t i = 0; i < m_systems.size(); ++i) {
        if (m_systems[i].wkt == wkt)
            return int(i);
    }
    m_systems.push_back({srs, wkt});
    return int(m_systems.size() - 1);
}

GDALRasterBandH Gdal::bandOf(Raster *raster)
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

void Gdal::touch(Raster *raster)
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

} // namespace TerrainModule
