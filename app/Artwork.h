#pragma once

#include <QIcon>
#include <QImage>

// The program's own pictures, drawn in code so that they scale and need no image files at run
// time: the main window's background tile and the application icon.
namespace linlangok {

inline constexpr int kBackgroundTileSize = 48;

// The 48 × 48 tile that the main window's background repeats.
QImage BackgroundTile();

// The icon at one size (square, transparent around the disc).
QImage ApplicationIconImage(int size);
// The icon at the sizes the desktop asks for.
QIcon ApplicationIcon();

} // namespace linlangok
