#pragma once

#include <gdal.h>

#include <string>

// What the program's GDAL modules let GDAL see. GDAL is one library for the
// whole process, and a model someone sends can name anything GDAL knows how
// to open: URLs through its virtual file systems, servers through its
// drivers, raw bytes of any file through a virtual raster, a FIFO that never
// answers. Both modules build this in and call it under their own lock.
namespace GdalGuard {

// Removes from GDAL's registry every driver that neither the terrain nor the
// export needs, whenever the registry changed since the last call.
void confineDrivers();

// Whether `path` is an absolute local path that none of GDAL's own syntaxes
// (virtual file systems, URLs, driver prefixes, inline XML) can reinterpret.
bool isPlainLocalPath(const std::string &path);

// Whether GDAL may open the model at `path` (a plain local path): a regular
// file whose companions are regular files, and, for a virtual raster, whose
// every named dataset is a regular file inside the model's folder tree,
// read through GDAL's drivers only, a few levels of virtual rasters deep at
// most. Nothing is opened that could block.
bool mayOpen(const std::string &path);

// Whether every file GDAL says the open model uses lies inside the model's
// folder tree: the second line behind mayOpen.
bool usesOnlyItsFolder(GDALDatasetH dataset, const std::string &path);

} // namespace GdalGuard
