#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's icon, drawn by code so that the window icon and the icons
// installed for the desktop come from one drawing: a map sheet with contour
// lines and a route of waypoints on the program's green.
namespace AppIcon {

// The icon at `size` x `size` pixels, transparent outside its rounded square.
QImage image(int size);
QPixmap pixmap(int size);
// The window icon, at the sizes title bars and task bars show.
QIcon icon();

// The sizes installed in the desktop's icon theme.
inline constexpr int kThemeSizes[] = {16, 24, 32, 48, 64, 128, 256};
// The window's own: the larger ones, drawn at every start, would cost more
// than a millisecond for sizes a desktop takes from the installed theme.
inline constexpr int kWindowSizes[] = {16, 24, 32, 48, 64};

} // namespace AppIcon
