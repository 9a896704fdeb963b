#pragma once

#include <QRect>

class QWidget;

namespace linlangok {

// Where the companion windows go at start (outer rectangles in screen pixels): the song list
// under the main window, as wide as it and as tall as the volume window; the lyrics window to
// its right, as tall as it and as wide as the volume window; the volume window at its
// bottom-right corner, in its own size.
struct CompanionPlacement {
    QRect lyrics;
    QRect volume;
    QRect songList;
};

CompanionPlacement DockCompanions(const QRect& mainWindow, const QSize& volumeWindow);

// Moves and sizes a top-level window so that its outer (frame) rectangle is `frame`; the frame
// margins are the window system's, measured on the window itself once it has been shown, else
// taken to be none.
void PlaceWindow(QWidget& window, const QRect& frame);

} // namespace linlangok
