#include "ui/widgets/DialogUnits.h"

#include <QFontMetrics>

namespace linlangok {

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded.
    const int letters
        = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_averageCharWidth = (letters / 26 + 1) / 2;
    m_charHeight = metrics.height();
}

QRect CDialogUnits::ToPixels(int x, int y, int width, int height) const
{
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

} // namespace linlangok
