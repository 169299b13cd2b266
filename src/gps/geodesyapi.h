#pragma once

// The narrow door between the program and its geodesy module, the shared
// library that holds PROJ. PROJ brings some thirty libraries of its own
// (network, TLS, SQLite, TIFF...) that a user who never exchanges GPX files
// never needs, so the module is loaded the first time a command converts a
// position. Plain types only: nothing of Qt or of the program's exceptions
// crosses it, and the module can be built and replaced on its own.
namespace GeodesyApi {

// Bumped whenever a member below changes: an older module is refused.
constexpr int kVersion = 3;

// What makes a grid's projection: the band letter only says the hemisphere.
struct Frame
{
    int zone = 31;
    bool southern = false;
    bool ed50 = true;
};

enum Status { Done = 0, PointOutOfReach = 1, NoConversion = 2 };

// One datum transformation chosen by the module; it lives as long as the
// module.
struct Operation;

struct Functions
{
    int version;
    // Longitude and latitude of a grid point in the grid's own datum: the
    // projection alone.
    Status (*project)(Frame frame, double easting, double northing, double *longitude,
                      double *latitude);
    // The transformation to WGS84 that `cs2cs --bbox` would use at the
    // area's centre; null when PROJ has none. The network is never used.
    const Operation *(*choose)(Frame frame, double west, double south, double east, double north);
    const char *(*name)(const Operation *operation); // UTF-8
    bool (*ballpark)(const Operation *operation);
    // Easting/northing to longitude/latitude, and back.
    Status (*forward)(const Operation *operation, double easting, double northing,
                      double *longitude, double *latitude);
    Status (*inverse)(const Operation *operation, double longitude, double latitude,
                      double *easting, double *northing);
    // The operation as a PROJ pipeline, easting/northing to longitude/
    // latitude in degrees, for a library that converts with it (GDAL's
    // warper); empty when PROJ cannot write it as one.
    const char *(*definition)(const Operation *operation);
    // The lengths on the WGS84 ellipsoid of the `count` - 1 geodesics
    // between consecutive points of `lonLat` (longitude, latitude, longitude,
    // ... in degrees), in metres, into `metres`: PROJ's geodesic, exact to
    // the nanometre, across the poles and the 180th meridian alike.
    void (*geodesics)(const double *lonLat, long long count, double *metres);
};

// The one symbol the module exports.
inline constexpr char kEntryPoint[] = "quor_geodesy_functions";
inline constexpr char kModuleName[] = "quor_geodesy";
using EntryPoint = const Functions *(*)();

} // namespace GeodesyApi
