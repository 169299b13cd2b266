#pragma once

// The narrow door between the program and its terrain module, the shared
// library that holds GDAL. GDAL brings a hundred libraries of its own (PROJ,
// HDF, netCDF, Poppler, curl...) that a user who never looks at the relief
// never needs, so the module is loaded by the first command that asks for an
// altitude. Plain types only: nothing of Qt or of the program's exceptions
// crosses it, and the module can be built and replaced on its own.
//
// The module knows rasters and coordinate systems; which raster answers for a
// position, the interpolation and the profiles are the program's
// (terrain/mapterrain.h).
namespace TerrainApi {

// Bumped whenever a member below changes: an older module is refused.
constexpr int kVersion = 2;

// The map's UTM grid: the band letter only says the hemisphere.
struct Frame
{
    int zone = 31;
    bool southern = false;
    bool ed50 = true;
};

// A box of degrees around the map: the area the datum operation from the
// map's grid to a raster's system is chosen for.
struct Area
{
    double west = 0;
    double south = 0;
    double east = 0;
    double north = 0;
};

enum Status {
    Done = 0,
    Missing = 1,          // no such file
    Unreadable = 2,       // GDAL knows no raster in it, or it names files Quor keeps from GDAL
    NotElevation = 3,     // several bands, a palette, bytes or complex numbers: a picture
    NotGeoreferenced = 4, // no coordinate system or no placement of its cells
    BlocksTooLarge = 5,   // one block is larger than the block cache: reading it would freeze
    ReadFailed = 6,       // a block that was readable is no more (file moved, cut or damaged)
    NoConversion = 7,     // PROJ knows no operation from the map's grid to the raster's system
    UnknownUnit = 8,      // its values are in a unit that is no length Quor knows
};

// What hasData found.
enum Content { HasData = 1, Empty = 0, Unknown = -1 };

// One elevation file: its header, and its dataset while in use. The module
// keeps a few dozen datasets open and reopens the others when read again,
// so a folder of a thousand tiles holds a thousand headers, not a thousand
// open files.
struct Raster;

struct Header
{
    int width = 0;  // cells
    int height = 0; // cells
    // GDAL's geotransform: the system position of the corner (column, row) of
    // the cells is (t0 + column t1 + row t2, t3 + column t4 + row t5).
    double transform[6] = {0, 1, 0, 0, 0, 1};
    // A cell's size on the ground at the raster's centre, in metres.
    double cellWidth = 0;
    double cellHeight = 0;
    // Rasters in one coordinate system share this number (from 0).
    int system = 0;
};

struct Functions
{
    int version;
    // Reads the header of the raster at `path` (UTF-8). On Done, `*raster`
    // is the caller's until close().
    Status (*open)(const char *path, Raster **raster, Header *header);
    void (*close)(Raster *raster);
    // The altitudes in metres of the cells [column, column + columns) x
    // [row, row + rows), row after row; NaN where a cell has no value (the
    // file's no-data value, NaN, or an altitude no land has). Only the blocks
    // holding the window are read.
    Status (*read)(Raster *raster, int column, int row, int columns, int rows, double *metres);
    // Whether some cell has an altitude, reading at most about `budget`
    // cells (blocks that the file marks as never written cost nothing);
    // Unknown when the budget ran out first.
    Status (*hasData)(Raster *raster, long long budget, Content *content);
    // Map positions (easting in x, northing in y) to positions of `system`,
    // in place; ok[i] is 0 where one cannot be converted. The operation is
    // chosen once for the map's area as `cs2cs --bbox` would choose it at the
    // area's centre, then used for every point.
    Status (*toSystem)(int system, Frame frame, Area area, int count, double *x, double *y,
                       unsigned char *ok);
    // The name of that operation (UTF-8), or null when there is none.
    const char *(*operation)(int system, Frame frame, Area area);
};

// The one symbol the module exports.
inline constexpr char kEntryPoint[] = "quor_terrain_functions";
inline constexpr char kModuleName[] = "quor_terrain";
using EntryPoint = const Functions *(*)();

} // namespace TerrainApi
