#include "terrain/systemcode.h"

#include <cpl_conv.h>

#include <string>

namespace SystemCode {

bool matchesKind(const OGRSpatialReference &srs)
{
    const char *authority = srs.GetAuthorityName(nullptr);
    const char *code = srs.GetAuthorityCode(nullptr);
    OGRSpatialReference named;
    if (!authority || !code ||
        named.SetFromUserInput((std::string(authority) + ':' + code).c_str(),
                               OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS_get()) !=
            OGRERR_NONE)
        return true;
    return named.IsGeographic() == srs.IsGeographic() && named.IsProjected() == srs.IsProjected();
}

OGRSpatialReference withoutCodes(const OGRSpatialReference &srs)
{
    OGRSpatialReference copy(srs);
    OGRSpatialReference defined;
    char *wkt = nullptr;
    if (OGR_SRSNode *root = copy.GetRoot()) {
        root->StripNodes("AUTHORITY");
        root->exportToWkt(&wkt);
    }
    if (wkt)
        defined.importFromWkt(wkt);
    CPLFree(wkt);
    return defined;
}

} // namespace SystemCode
