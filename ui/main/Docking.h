#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace linlangok {

// Where the companion windows go at start (outer rectangles in screen pixels): the song list
// under the main window, as wide as it and as tall as the volume window; the lyrics window to
// its right, as tall as it and as wide as the volume window; the volume window at its
// bottom-right corner, in its own size; the video window to its left, in its size.
struct CompanionPlacement {
    QRect lyrics;
    QRect volume;
    QRect songList;
    QRect video;
};

CompanionPlacement DockCompanions(const QRect& mainWindow, const QSize& volumeWindow);

// The window system's frame around a shown top-level window (none before it is shown).
QMargins FrameMargins(const QWidget& window);

// Moves and sizes a top-level window so that its outer rectangle is `frame`, given the margins of
// the frame around it; never below its minimum size.
void PlaceWindow(QWidget& window, const QRect& frame, const QMargins& margins);

} // namespace linlangok
