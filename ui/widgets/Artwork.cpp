#include "ui/widgets/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QWidget>

namespace linlangok {

QImage BackgroundTile()
{
    constexpr int size = kBackgroundTileSize;
    QImage tile(size, size, QImage::Format_RGB32);
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wash(0, 0, size, size);
    wash.setColorAt(0.0, QColor(232, 238, 247));
    wash.setColorAt(0.5, QColor(222, 231, 244));
    wash.setColorAt(1.0, QColor(232, 238, 247));
    painter.fillRect(tile.rect(), wash);

    // Faint staff lines and a note head, placed so that the edges join seamlessly.
    painter.setPen(QPen(QColor(205, 216, 233), 1.0));
    for (int y = 6; y < size; y += 12)
        painter.drawLine(QPointF(0, y + 0.5), QPointF(size, y + 0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(198, 210, 229));
    painter.save();
    painter.translate(30, 24);
    painter.rotate(-20);
    painter.drawEllipse(QRectF(-4.5, -3.2, 9, 6.4));
    painter.restore();
    painter.fillRect(QRectF(33.5, 9, 1.2, 14.5), QColor(198, 210, 229));
    return tile;
}

void SetTiledBackground(QWidget& window)
{
    QPalette background = window.palette();
    background.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(BackgroundTile())));
    window.setPalette(background);
    window.setAutoFillBackground(true);
}

QImage ApplicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    QRadialGradient disc(QPointF(24, 20), 44);
    disc.setColorAt(0.0, QColor(255, 120, 92));
    disc.setColorAt(1.0, QColor(196, 28, 48));
    painter.setPen(QPen(QColor(140, 16, 32), 1.5));
    painter.setBrush(disc);
    painter.drawEllipse(QRectF(2, 2, 60, 60));

    // A microphone: its head, handle and stand.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 244, 214));
    painter.drawRoundedRect(QRectF(22, 11, 16, 25), 8, 8);
    painter.setPen(QPen(QColor(255, 244, 214), 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(17, 28);
    cradle.cubicTo(17, 43, 43, 43, 43, 28);
    painter.drawPath(cradle);
    painter.drawLine(QPointF(30, 40), QPointF(30, 50));
    painter.drawLine(QPointF(23, 51), QPointF(37, 51));

    // Grille lines across the head.
    painter.setPen(QPen(QColor(196, 28, 48, 140), 1.4));
    for (int y = 17; y <= 29; y += 4)
        painter.drawLine(QPointF(24, y), QPointF(36, y));

    // A note beside it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 214, 92));
    painter.drawEllipse(QRectF(43, 35, 8, 6));
    painter.fillRect(QRectF(49.2, 18, 1.8, 20), QColor(255, 214, 92));
    QPainterPath flag;
    flag.moveTo(51, 18);
    flag.cubicTo(56, 20, 57, 24, 55, 28);
    flag.cubicTo(55, 25, 53, 23, 51, 23);
    flag.closeSubpath();
    painter.drawPath(flag);
    return image;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
    return icon;
}

} // namespace linlangok
