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
constexpr double kHalfTurn = 180.0;
constexpr double kTurn = 360.0;
// Far more output pixels than any tile count can hold, and few enough to
// count in a long long.
constexpr double kMaxGridPixels = 1e15;

// Writes one entry of the archive; a failed write keeps its errno, which
// the zip writer does not report.
bool store(void *zip, const std::string &entry, const void *bytes, size_t size, Failure &failure)
{
    errno = 0;
    bool ok = CPLCreateFileInZip(zip, entry.c_str(), nullptr) == CE_None;
    if (ok) {
        ok = CPLWriteFileInZip(zip, bytes, int(size)) == CE_None;
        ok = CPLCloseFileInZip(zip) == CE_None && ok;
    }
    if (!ok && !failure.happened) {
        failure.happened = true;
        failure.error = errno;
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
            const KmzGrid::Columns columns = grid.columnsOf(column);
            CPLCreateXMLElementAndValue(box, "east", CPLSPrintf("%.12f", columns.east()));
            CPLCreateXMLElementAndValue(box, "west", CPLSPrintf("%.12f", columns.west()));
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
                  int column, void *zip, Stage &stage, Failure &failure)
{
    const KmzGrid::Columns columns = grid.columnsOf(column);
    const long long x0 = columns.first, x1 = columns.end;
    const long long y0 = grid.rowStart(row), y1 = grid.rowStart(row + 1);
    double transform[6] = {columns.west(),   columns.span->xResolution, 0, grid.latitude(y0), 0,
                           -grid.yResolution};
    OGRSpatialReference degrees;
    if (!systemOf(kWgs84, degrees))
        return false;
    Dataset tile(GDALCreate(GDALGetDriverByName("MEM"), "", int(x1 - x0), int(y1 - y0), 3, GDT_Byte,
                            nullptr));
    if (!tile || GDALSetGeoTransform(tile.get(), transform) != CE_None ||
        GDALSetSpatialRef(tile.get(), OGRSpatialReference::ToHandle(&degrees)) != CE_None ||
        !warpInto(picture, tile.get(), degreesOf(request), stage))
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
    const bool ok = bytes && store(zip, tileName(row, column), bytes, size_t(size), failure);
    VSIUnlink(encoded.c_str());
    return ok;
}

// Output pixels of `pixel` degrees over `span` degrees, the last one a
// little smaller; none when the numbers make no grid.
long long pixelsOver(double span, double pixel)
{
    const double pixels = std::ceil(span / pixel - kZoomTolerance);
    if (!std::isfinite(pixels))
        return 0;
    return (long long)std::clamp(pixels, 1.0, kMaxGridPixels);
}

int tilesOver(long long pixels)
{
    // Counted as they are, however absurd, so that the caller can say how
    // many; never more than an int can hold, both spans and all rows
    // together.
    return int(
        std::min<long long>((pixels + kMaxKmzTileSize - 1) / kMaxKmzTileSize, INT32_MAX / 4));
}

bool addSpan(KmzGrid &grid, double west, double east, double across)
{
    KmzSpan &span = grid.spans[grid.spanCount++];
    span.west = west;
    span.east = east;
    span.width = pixelsOver(east - west, across);
    span.xResolution = (east - west) / double(span.width);
    span.columns = tilesOver(span.width);
    grid.columns += span.columns;
    return span.width > 0;
}

} // namespace

// Latitude/longitude pixels as long and high on the ground as the scan's
// (times the reduction) at the extent's centre, over the whole frame: the
// last pixels are made a little smaller so that the grid ends exactly on
// the map's easternmost and southernmost points, and on the antimeridian
// on both sides of it.
bool kmzGridOf(const Request &request, GDALDatasetH picture, KmzGrid &grid)
{
    Frame frame;
    if (!frameIn(picture, degreesOf(request), frame))
        return false;
    const double reduction = std::max(1.0, request.kmzReduction);
    const double across = frame.across * reduction;
    const double down = frame.down * reduction;
    // The antimeridian at +180, whichever side of it the centre lies.
    if (frame.minX < -kHalfTurn) {
        frame.minX += kTurn;
        frame.maxX += kTurn;
    }
    grid = KmzGrid();
    // A sliver beyond it narrower than half an output pixel is left out.
    const bool eastOf = frame.maxX - kHalfTurn >= across / 2;
    const bool westOf = kHalfTurn - frame.minX >= across / 2;
    bool ok = true;
    if (eastOf && westOf) {
        ok = addSpan(grid, frame.minX, kHalfTurn, across) &&
             addSpan(grid, -kHalfTurn, frame.maxX - kTurn, across);
    } else if (eastOf) {
        ok = addSpan(grid, std::max(frame.minX, kHalfTurn) - kTurn, frame.maxX - kTurn, across);
    } else {
        ok = addSpan(grid, frame.minX, std::min(frame.maxX, kHalfTurn), across);
    }
    grid.height = pixelsOver(frame.maxY - frame.minY, down);
    grid.north = frame.maxY;
    grid.yResolution = (frame.maxY - frame.minY) / double(grid.height);
    grid.rows = tilesOver(grid.height);
    return ok && grid.height > 0;
}

bool writeKmz(const Request &request, GDALDatasetH picture, const KmzGrid &grid, bool *cancelled,
              Failure &failure)
{
    // GDAL's zip writer, given the file itself rather than a path of its
    // archive syntax, which braces or a ".kmz" in a folder's name would
    // mislead. The archive stays open while its entries are written one
    // after the other, the KML first so that readers find it.
    void *zip = CPLCreateZip(request.path, nullptr);
    if (!zip) {
        if (!failure.happened) {
            failure.happened = true;
            failure.error = errno;
        }
        return false;
    }
    const std::string kml = kmlOf(request, grid);
    bool ok = store(zip, kKml, kml.data(), kml.size(), failure);
    const int count = grid.rows * grid.columns;
    for (int i = 0; ok && i < count; ++i) {
        Stage stage{&request, double(i) / count, double(i + 1) / count, cancelled};
        ok = writeKmzTile(request, picture, grid, i / grid.columns, i % grid.columns, zip, stage,
                          failure);
    }
    errno = 0;
    if (CPLCloseZip(zip) != CE_None && ok && !failure.happened) {
        failure.happened = true;
        failure.error = errno;
        ok = false;
    }
    return ok && CPLGetLastErrorType() < CE_Failure;
}

} // namespace MapExportModule
