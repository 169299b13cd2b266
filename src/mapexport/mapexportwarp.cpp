// The map export module's reprojection: the picture's frame in an output's
// system, and GDAL's warper from the picture into an output.

#include "mapexport/mapexportgdal.h"

#include <cpl_conv.h>
#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

using namespace MapExportApi;

namespace MapExportModule {

namespace {

// What the warper may hold at once (source and destination chunks together),
// and the rows of a level that an overview is computed from at once: small
// beside the picture the program already holds, and large enough that no
// tile is read twice. (For a 12000 x 9000 scan, larger ones gain nothing in
// time.)
constexpr double kWarpMemoryBytes = 2.0 * 1024 * 1024;
constexpr int kOverviewChunkBytes = 1024 * 1024;
// The error of the approximate transformation, in output pixels: gdalwarp's.
constexpr double kMaxTransformError = 0.125;
constexpr char kPipeline[] = "+proj=pipeline";
constexpr double kTurn = 360.0;

struct WarpOptionsDeleter
{
    void operator()(GDALWarpOptions *options) const { GDALDestroyWarpOptions(options); }
};
using WarpOptions = std::unique_ptr<GDALWarpOptions, WarpOptionsDeleter>;

std::string wktOf(int epsg)
{
    OGRSpatialReference system;
    if (!systemOf(epsg, system))
        return {};
    char *text = nullptr;
    system.exportToWkt(&text);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

// From the picture's pixels to positions of `output`, through its
// operation, or null when PROJ cannot make it.
Transformer toOutput(GDALDatasetH picture, const Output &output)
{
    const std::string wkt = wktOf(output.epsg);
    if (wkt.empty() || output.operation.empty())
        return Transformer();
    CPLStringList options;
    options.SetNameValue("DST_SRS", wkt.c_str());
    options.SetNameValue("COORDINATE_OPERATION", output.operation.c_str());
    return Transformer(GDALCreateGenImgProjTransformer2(picture, nullptr, options.List()));
}

// The request's operation followed by `steps`, as one PROJ pipeline.
std::string pipelineOf(const Request &request, const std::string &steps)
{
    if (!request.operation || !*request.operation)
        return {};
    std::string pipeline = request.operation;
    if (pipeline.rfind(kPipeline, 0) != 0)
        pipeline = std::string(kPipeline) + " +step " + pipeline;
    return pipeline + " " + steps;
}

// Points along each side of the picture: a straight side in UTM bends a
// little in degrees or in Web Mercator, never enough to move between them.
constexpr int kSideSamples = 64;

} // namespace

bool systemOf(int epsg, OGRSpatialReference &system)
{
    if (system.importFromEPSG(epsg) != OGRERR_NONE)
        return false;
    system.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return true;
}

Output degreesOf(const Request &request)
{
    // EPSG:4326 lists latitude first.
    return {kWgs84, pipelineOf(request, "+step +proj=axisswap +order=2,1"), 0};
}

Output mercatorOf(const Request &request, double centralMeridian)
{
    return {kWebMercator,
            pipelineOf(request, CPLSPrintf("+step +proj=unitconvert +xy_in=deg +xy_out=rad "
                                           "+step +proj=webmerc +lat_0=0 +lon_0=%.17g +x_0=0 "
                                           "+y_0=0 +ellps=WGS84",
                                           centralMeridian)),
            centralMeridian};
}

bool frameIn(GDALDatasetH picture, const Output &output, Frame &frame)
{
    Transformer transformer = toOutput(picture, output);
    if (!transformer)
        return false;
    const double width = GDALGetRasterXSize(picture);
    const double height = GDALGetRasterYSize(picture);
    std::vector<double> x, y;
    for (int i = 0; i <= kSideSamples; ++i) {
        const double t = double(i) / kSideSamples;
        for (const auto &[px, py] : {std::pair(t * width, 0.0), std::pair(t * width, height),
                                     std::pair(0.0, t * height), std::pair(width, t * height)}) {
            x.push_back(px);
            y.push_back(py);
        }
    }
    // The centre and its neighbours one pixel right and one pixel down.
    const std::size_t centre = x.size();
    x.insert(x.end(), {width / 2, width / 2 + 1, width / 2});
    y.insert(y.end(), {height / 2, height / 2, height / 2 + 1});
    std::vector<double> z(x.size(), 0.0);
    std::vector<int> ok(x.size(), 0);
    if (!GDALGenImgProjTransform(transformer.get(), FALSE, int(x.size()), x.data(), y.data(),
                                 z.data(), ok.data()))
        return false;
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return false;
    // PROJ gives longitudes between -180 and 180: those of a map across the
    // antimeridian are made continuous about its centre, so that its frame
    // is its own few degrees and not the whole world's width.
    if (output.epsg == kWgs84) {
        for (double &longitude : x)
            longitude = x[centre] + std::remainder(longitude - x[centre], kTurn);
    }
    // The frame is that of the sides' samples, those before the centre.
    const auto sides = static_cast<std::ptrdiff_t>(centre);
    frame.minX = *std::min_element(x.begin(), x.begin() + sides);
    frame.maxX = *std::max_element(x.begin(), x.begin() + sides);
    frame.minY = *std::min_element(y.begin(), y.begin() + sides);
    frame.maxY = *std::max_element(y.begin(), y.begin() + sides);
    // Lengths of a pixel's sides projected on the system's axes: a pixel
    // turned on the map is as long eastwards as its side's length.
    frame.across = std::hypot(x[centre + 1] - x[centre], x[centre + 2] - x[centre]);
    frame.down = std::hypot(y[centre + 1] - y[centre], y[centre + 2] - y[centre]);
    return std::isfinite(frame.minX) && std::isfinite(frame.maxX) && std::isfinite(frame.minY) &&
           std::isfinite(frame.maxY) && frame.across > 0 && frame.down > 0 &&
           frame.maxX > frame.minX && frame.maxY > frame.minY;
}

// Warps `source` into the whole of `target` (which has its own system and
// geotransform), papering the ground outside the map white.
bool warpInto(GDALDatasetH source, GDALDatasetH target, const Output &output, Stage &stage)
{
    if (output.operation.empty())
        return false;
    CPLStringList transformation;
    transformation.SetNameValue("COORDINATE_OPERATION", output.operation.c_str());
    Transformer transformer(
        GDALCreateGenImgProjTransformer2(source, target, transformation.List()));
    if (!transformer)
        return false;
    void *approximate = GDALCreateApproxTransformer(GDALGenImgProjTransform, transformer.release(),
                                                    kMaxTransformError);
    GDALApproxTransformerOwnsSubtransformer(approximate, TRUE);
    Transformer owner(approximate);

    WarpOptions options(GDALCreateWarpOptions());
    options->hSrcDS = source;
    options->hDstDS = target;
    options->nBandCount = 3;
    options->panSrcBands = static_cast<int *>(CPLMalloc(3 * sizeof(int)));
    options->panDstBands = static_cast<int *>(CPLMalloc(3 * sizeof(int)));
    for (int b = 0; b < 3; ++b)
        options->panSrcBands[b] = options->panDstBands[b] = b + 1;
    // The output is never finer than the scan, so each output pixel is the
    // mean of the scan pixels it covers.
    options->eResampleAlg = GRA_Average;
    options->dfWarpMemoryLimit = kWarpMemoryBytes;
    options->papszWarpOptions =
        CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", CPLSPrintf("%d", kPaperWhite));
    // Whole tiles at a time: a JPEG tile written in two goes would be read
    // back and compressed twice.
    options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "OPTIMIZE_SIZE", "YES");
    options->pfnTransformer = GDALApproxTransform;
    options->pTransformerArg = approximate;
    options->pfnProgress = reportStage;
    options->pProgressArg = &stage;

    GDALWarpOperationH operation = GDALCreateWarpOperation(options.get());
    if (!operation)
        return false;
    const CPLErr error = GDALChunkAndWarpImage(operation, 0, 0, GDALGetRasterXSize(target),
                                               GDALGetRasterYSize(target));
    GDALDestroyWarpOperation(operation);
    return error == CE_None;
}

bool buildOverviews(GDALDatasetH dataset, const std::vector<int> &factors, Stage &stage)
{
    if (factors.empty())
        return true;
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", CPLSPrintf("%d", kOverviewChunkBytes));
    const CPLErr error =
        GDALBuildOverviews(dataset, "AVERAGE", int(factors.size()),
                           const_cast<int *>(factors.data()), 0, nullptr, reportStage, &stage);
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", nullptr);
    return error == CE_None;
}

} // namespace MapExportModule
