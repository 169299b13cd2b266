#pragma once

#include <ogr_spatialref.h>

// The code a raster's coordinate system claims (EPSG:4326...), which PROJ
// trusts over the definition beside it. Built into the terrain module only.
namespace SystemCode {

// Whether the system's code, when it has one, names a system of the same
// kind: PROJ crashes looking for an operation to a geographic system that
// carries the code of a geocentric one (EPSG:4978).
bool matchesKind(const OGRSpatialReference &srs);

// The system as its definition gives it, without the codes it claims.
OGRSpatialReference withoutCodes(const OGRSpatialReference &srs);

} // namespace SystemCode
