#include "ui/widgets/PicturePainting.h"

#include "core/picture/PictureFit.h"

#include <QImage>
#include <QPainter>

namespace linlangok {

void PaintSongFrame(QPainter& painter, const QRect& area, const SongFrame& frame)
{
    painter.fillRect(area, Qt::black);
    const PicturePlace place = FitPicture(frame, area.width(), area.height());
    if (place.width == 0 || frame.pixels.size() < static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height))
        return;
    const QImage image(reinterpret_cast<const uchar*>(frame.pixels.data()), frame.width, frame.height, frame.width * 4,
        QImage::Format_RGB32);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !frame.pixelArt);
    painter.drawImage(QRect(area.x() + place.x, area.y() + place.y, place.width, place.height), image);
    painter.restore();
}

} // namespace linlangok
