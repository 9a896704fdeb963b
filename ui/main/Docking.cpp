#include "ui/main/Docking.h"

#include <QWidget>

namespace linlangok {

CompanionPlacement DockCompanions(const QRect& mainWindow, const QSize& volumeWindow)
{
    const QPoint belowLeft(mainWindow.left(), mainWindow.bottom() + 1);
    const QPoint right(mainWindow.right() + 1, mainWindow.top());
    const QPoint belowRight(mainWindow.right() + 1, mainWindow.bottom() + 1);
    CompanionPlacement placement;
    placement.songList = QRect(belowLeft, QSize(mainWindow.width(), volumeWindow.height()));
    placement.lyrics = QRect(right, QSize(volumeWindow.width(), mainWindow.height()));
    placement.volume = QRect(belowRight, volumeWindow);
    placement.video = QRect(QPoint(mainWindow.left() - mainWindow.width(), mainWindow.top()), mainWindow.size());
    return placement;
}

QMargins FrameMargins(const QWidget& window)
{
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom());
}

void PlaceWindow(QWidget& window, const QRect& frame, const QMargins& margins)
{
    window.resize(frame.size().shrunkBy(margins).expandedTo(window.minimumSize()));
    window.move(frame.topLeft());
}

} // namespace linlangok
