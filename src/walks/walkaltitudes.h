#pragma once

#include "recordedwalk.h"

#include <QString>

namespace WalkAltitudes {

// The altitudes of the project's elevation model at WGS84 positions, or an
// empty lookup when the project has chosen none. The model is opened at the
// first call; its French message is thrown when it cannot be read.
AltitudeLookup projectModel(const QString &projectDirectory);

} // namespace WalkAltitudes
