#include "ui/main/StatusDisplay.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

namespace linlangok {
namespace {

// Text origins (top-left of each text, pixels).
constexpr QPoint kNameOrigin {10, 7};
constexpr QPoint kPlayOrigin {10, 30};
constexpr QPoint kRecordOrigin {136, 30};
constexpr QPoint kStateOrigin {220, 30};
constexpr int kFieldGap = 12;
constexpr int kRightMargin = 10;
constexpr QRgb kDropoutColour = qRgb(255, 191, 0);
// The font's cell is 16 pixels high.
constexpr int kFontCellHeight = 16;

QFont DisplayFont()
{
    QFont font;
    font.setPixelSize(kFontCellHeight);
    // Shrink the em until the cell (ascent + descent) fits 16 pixels.
    for (int size = kFontCellHeight; size > 8; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= kFontCellHeight)
            break;
    }
    return font;
}

} // namespace

CStatusDisplay::CStatusDisplay(QWidget* parent)
    : QWidget(parent)
    , m_font(DisplayFont())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QCoreApplication::translate("CStatusDisplay", "状态显示"));
}

void CStatusDisplay::SetValues(const StatusValues& values)
{
    m_values = values;
    setToolTip(QString::fromStdU16String(ComposeStatusTexts(values).dropoutNotice));
    update();
}

void CStatusDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setFont(m_font);
    painter.setPen(QColor(kStatusTextColour));
    const StatusTexts texts = ComposeStatusTexts(m_values);
    const QFontMetrics metrics(m_font);
    // Each field of the second line starts at its origin, or further right when the field
    // before it is wider than the gap, so that no two texts overlap.
    const auto draw = [&](QPoint origin, const std::u16string& text) {
        const QString line = QString::fromStdU16String(text);
        painter.drawText(origin + QPoint(0, metrics.ascent()), line);
        return origin.x() + metrics.horizontalAdvance(line) + kFieldGap;
    };
    // Dropouts stand at the right of the first line; the song's name gives way to them.
    int nameRight = std::min(width(), m_textRight) - kRightMargin;
    if (!texts.dropouts.empty()) {
        const QString dropouts = QString::fromStdU16String(texts.dropouts);
        nameRight -= metrics.horizontalAdvance(dropouts);
        painter.setPen(QColor(kDropoutColour));
        painter.drawText(QPoint(nameRight, kNameOrigin.y() + metrics.ascent()), dropouts);
        painter.setPen(QColor(kStatusTextColour));
        nameRight -= kFieldGap;
    }
    const QString name = metrics.elidedText(
        QString::fromStdU16String(texts.name), Qt::ElideRight, std::max(nameRight - kNameOrigin.x(), 0));
    painter.drawText(kNameOrigin + QPoint(0, metrics.ascent()), name);
    const int recordLeft = std::max(kRecordOrigin.x(), draw(kPlayOrigin, texts.play));
    const int stateLeft = std::max(kStateOrigin.x(), draw(QPoint(recordLeft, kRecordOrigin.y()), texts.record));
    draw(QPoint(stateLeft, kStateOrigin.y()), texts.state);
}

} // namespace linlangok
