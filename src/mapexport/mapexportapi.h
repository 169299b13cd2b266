#pragma once

// The narrow door between the program and its map export module, the shared
// library that holds GDAL for writing georeferenced copies of a scanned map
// (GeoTIFF, MBTiles, KMZ). GDAL brings a hundred libraries of its own that a
// user who never sends a map to a phone never needs, so the module is loaded
// by the first export. Plain types only: nothing of Qt or of the program's
// exceptions crosses it, and the module can be built and replaced on its own.
//
// The program says what to write (pixels, placement, coordinate system,
// file); the module does all of the writing through GDAL's drivers,
// warper and archive writer.
namespace MapExportApi {

// Bumped whenever a member below changes: an older module is refused.
constexpr int kVersion = 2;

enum Format { GeoTiff = 0, MBTiles = 1, Kmz = 2 };

enum Status {
    Done = 0,
    Cancelled = 1,      // the progress answered false
    NoSystem = 2,       // PROJ knows no coordinate system of that EPSG code
    NoConversion = 3,   // PROJ cannot convert the extent to the output's system
    TooManyTiles = 4,   // KMZ: more than kMaxKmzTiles tiles
    WriteFailed = 5,    // the file could not be written: Result::error has the errno
    Failed = 6,         // any other refusal of GDAL: Result::message has its text
    BeyondMercator = 7, // MBTiles: the extent reaches beyond Web Mercator's latitudes
};

// Web Mercator, and so every phone app's tiles, stops at this latitude.
constexpr double kMercatorLatitude = 85.0511287798;

// Receivers read at most this many tiles of a KMZ, each at most this many
// pixels across and down.
constexpr int kMaxKmzTiles = 100;
constexpr int kMaxKmzTileSize = 1024;

// The pixels to write, read in place: the byte of band b (0 red, 1 green,
// 2 blue) of pixel (column, row) of the extent is
// band[b][row * lineStride + column * pixelStride]. Nothing is copied whole;
// GDAL reads the rows it needs when it needs them.
struct Picture
{
    const unsigned char *band[3] = {nullptr, nullptr, nullptr};
    int width = 0;  // pixels of the extent
    int height = 0; // rows of the extent
    int pixelStride = 3;
    long long lineStride = 0;
};

struct Request
{
    Format format = GeoTiff;
    Picture picture;
    // GDAL's geotransform of the extent: the system position of the corner
    // (column, row) of its pixels is (t0 + column t1 + row t2, t3 + column t4
    // + row t5); (0, 0) is the top-left corner of the top-left pixel.
    double transform[6] = {0, 1, 0, 0, 0, 1};
    int epsg = 0; // the coordinate system of those positions
    // MBTiles and KMZ: the datum operation from those positions (easting
    // first) to WGS84 longitude and latitude in degrees, as a PROJ string
    // (UTF-8): the program's own, through which every pixel goes. Refused
    // with NoConversion when null.
    const char *operation = nullptr;
    const char *path = nullptr; // UTF-8; the file is created or truncated
    const char *name = nullptr; // UTF-8: the name phone apps and receivers show
    // KMZ: output pixels this many times the size of the scan's (1: none).
    double kmzReduction = 1.0;
    int jpegQuality = 85;
    // Called every few rows or tiles with the fraction done; answering 0
    // stops the export. May be null.
    int (*progress)(double fraction, void *context) = nullptr;
    void *context = nullptr;
};

struct Result
{
    Status status = Done;
    int error = 0;          // WriteFailed: the system's errno, 0 when unknown
    char message[512] = {}; // Failed: GDAL's message (English, UTF-8)
    // MBTiles: the zoom levels written. KMZ: the tiles and their grid,
    // counted (and refused beyond kMaxKmzTiles) before anything is written.
    int minZoom = 0;
    int maxZoom = 0;
    int tiles = 0;
    int tileColumns = 0;
    int tileRows = 0;
};

struct Functions
{
    int version;
    // Writes the file of `request`. On every status but Done, nothing the
    // module wrote is left at request->path (the caller removes a file it
    // created there beforehand).
    //
    // GeoTiff: the extent's own pixels, JPEG-compressed 256 x 256 tiles in
    //   YCbCr, with the request's geotransform and system, and overviews
    //   halving down to one tile.
    // MBTiles: Web Mercator tiles of 256 x 256, JPEG; the deepest zoom level
    //   is the deepest that does not enlarge the scan, then every level up to
    //   the one where the whole extent fits in one tile's size; the
    //   metadata's name and bounds are the request's name and the extent's.
    // Kmz: WGS84 latitude/longitude, the extent cut into at most
    //   kMaxKmzTiles JPEG tiles of at most kMaxKmzTileSize pixels, one
    //   GroundOverlay each in doc.kml.
    void (*exportMap)(const Request *request, Result *result);
    // Kmz only: the tiles that exportMap would write, in Result::tiles,
    // tileColumns and tileRows, without reading a pixel.
    void (*kmzLayout)(const Request *request, Result *result);
};

// The one symbol the module exports.
inline constexpr char kEntryPoint[] = "quor_mapexport_functions";
inline constexpr char kModuleName[] = "quor_mapexport";
using EntryPoint = const Functions *(*)();

} // namespace MapExportApi
