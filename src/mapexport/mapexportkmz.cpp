// The map export module's KMZ writer: WGS84 latitude/longitude tiles, one
// GroundOverlay each in doc.kml, in a zip written by GDAL's archive writer.

#include "mapexport/mapexportgdal.h"

#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>

using namespace MapExportApi;

namespace MapExportModule {

namespace {

constexpr char kKml[] = "doc.kml";
constexpr char kKmlNamespace[] = "http://www.opengis.net/kml/2.2";

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

} // namespace

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

} // namespace MapExportModule
