#pragma once

#include <QIcon>
#include <QImage>

class QWidget;

// The program's own pictures, drawn in code so that they scale and need no image files at run
// time: the dialogs' background tile and the application icon.
namespace linlangok {

inline constexpr int kBackgroundTileSize = 48;

// The 48 × 48 tile that the dialogs' backgrounds repeat.
QImage BackgroundTile();
// Fills the window's background with the tile.
void SetTiledBackground(QWidget& window);

// The icon at one size (square, transparent around the disc).
QImage ApplicationIconImage(int size);
// The icon at the sizes the desktop asks for.
QIcon ApplicationIcon();

} // namespace linlangok
