#pragma once

#include <optional>

// The unit of an elevation model's values, as GDAL names it
// (GDALGetRasterUnitType): GeoTIFF's vertical systems give "metre", "foot"
// or "US survey foot", other formats and gdal_edit whatever was written,
// "m", "dm", "ft", "centimetre"... Built into the terrain module only.
namespace HeightUnit {

// The metres in one unit; none for a unit that is no length Quor knows. No
// unit at all is metres, as GDAL's formats mean it.
std::optional<double> metres(const char *unit);

} // namespace HeightUnit
