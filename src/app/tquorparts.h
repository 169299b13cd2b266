#pragma once

// What the main window's source files (tquor*.cpp) share: the help context
// that its menus and grids carry, and the stage row that its cursor starts
// on. Not for the other windows.

#include "platform/platform.h"

#include <QObject>
#include <QVariant>

namespace TQuorParts {

// The first stage row, under the stage grid's header row.
constexpr int kFirstStageRow = 1;

inline void setHelp(QObject *object, int context)
{
    object->setProperty(kHelpContextProperty, context);
}

} // namespace TQuorParts
