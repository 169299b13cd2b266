// The terrain module: GDAL behind the narrow interface of terrain/terrainapi.h.
// Loaded by the program the first time a command asks for an altitude.

#include "gdalguard/gdalguard.h"
#include "terrain/terrainapi.h"
#include "terrain/terraingdal.h"

#include <cpl_conv.h>
#include <cpl_error.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace TerrainApi;
using TerrainModule::Gdal;
using TerrainModule::Transform;

namespace {

// GDAL is one library for the whole process, which the program's other
// modules may use with settings of their own: what the terrain module needs
// is set for its own calls only, on the calling thread, and put back after.
// No folder is listed whole to open one of its files, no script runs from a
// virtual raster nor memory is read through one, and GDAL's complaints stay
// in its last-error record instead of the terminal. The guard keeps URLs from
// GDAL; should one slip past it, the URL file systems refuse every name and
// give up at once.
const char *const kScopedOptions[][2] = {{"GDAL_DISABLE_READDIR_ON_OPEN", "TRUE"},
                                         {"GDAL_VRT_ENABLE_PYTHON", "NO"},
                                         {"VRT_ALLOW_MEM_DRIVER", "NO"},
                                         {"CPL_VSIL_CURL_ALLOWED_FILENAME", "/quor/never"},
                                         {"CPL_VSIL_CURL_ALLOWED_EXTENSIONS", ".quor-never"},
                                         {"GDAL_HTTP_MAX_RETRY", "0"},
                                         {"GDAL_HTTP_CONNECTTIMEOUT", "1"},
                                         {"GDAL_HTTP_TIMEOUT", "1"}};

class Scope
{
public:
    Scope()
    {
        for (const auto &option : kScopedOptions) {
            const char *before = CPLGetThreadLocalConfigOption(option[0], nullptr);
            m_before.emplace_back(before ? std::optional<std::string>(before) : std::nullopt);
            CPLSetThreadLocalConfigOption(option[0], option[1]);
        }
        CPLPushErrorHandler(CPLQuietErrorHandler);
    }

    ~Scope()
    {
        CPLPopErrorHandler();
        for (std::size_t i = 0; i < m_before.size(); ++i)
            CPLSetThreadLocalConfigOption(kScopedOptions[i][0],
                                          m_before[i] ? m_before[i]->c_str() : nullptr);
    }

    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    std::vector<std::optional<std::string>> m_before;
};

// Every entry point runs under the module's lock, with its own GDAL settings.
template <typename Call> auto guarded(Call call)
{
    Gdal &gdal = Gdal::instance();
    const std::lock_guard lock(gdal.mutex);
    const Scope scope;
    GdalGuard::confineDrivers();
    return call(gdal);
}

Status open(const char *path, Raster **raster, Header *header)
{
    return guarded([&](Gdal &gdal) { return gdal.open(path, raster, header); });
}

void close(Raster *raster)
{
    guarded([&](Gdal &gdal) { gdal.close(raster); });
}

Status read(Raster *raster, int column, int row, int columns, int rows, double *metres)
{
    return guarded(
        [&](Gdal &gdal) { return gdal.read(raster, column, row, columns, rows, metres); });
}

Status hasData(Raster *raster, long long budget, Content *content)
{
    return guarded([&](Gdal &gdal) { return gdal.hasData(raster, budget, content); });
}

Status toSystem(int system, Frame frame, Area area, int count, double *x, double *y,
                unsigned char *ok)
{
    return guarded([&](Gdal &gdal) {
        const Transform *transform = gdal.transform(system, frame, area);
        if (!transform || !transform->ct)
            return NoConversion;
        std::vector<int> success(std::max(count, 0));
        transform->ct->Transform(count, x, y, nullptr, success.data());
        for (int i = 0; i < count; ++i)
            ok[i] = success[i] && std::isfinite(x[i]) && std::isfinite(y[i]);
        return Done;
    });
}

const char *operation(int system, Frame frame, Area area)
{
    return guarded([&](Gdal &gdal) -> const char * {
        const Transform *transform = gdal.transform(system, frame, area);
        return transform && transform->ct ? transform->name.c_str() : nullptr;
    });
}

const Functions kFunctions{kVersion, open, close, read, hasData, toSystem, operation};

} // namespace

extern "C" __attribute__((visibility("default"))) const Functions *quor_terrain_functions()
{
    return &kFunctions;
}
