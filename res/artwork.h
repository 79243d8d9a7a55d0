// Toolbar button images, drawn by the program: 18 x 15 for toolbar 128 and
// 16 x 15 for the full-screen toolbar 131.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace res {

QPixmap ToolbarImage(int command, int width = 18, int height = 15);
// The same image as an icon that is drawn the first time something shows
// it: commands that only sit in menus (which show no images) never draw.
QIcon ToolbarIcon(int command, int width = 18, int height = 15);
QPixmap AppIcon(int size);
// The same drawing without a display (the build renders the theme icon).
QImage AppIconImage(int size);

} // namespace res
