#pragma once

#include <QFont>
#include <QRect>

namespace linlangok {

// Dialog units mapped to pixels from the dialog font, as dialog templates are laid out: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an eighth
// of its height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int X(int units) const { return (units * m_averageCharWidth + 2) / 4; }
    int Y(int units) const { return (units * m_charHeight + 4) / 8; }
    QRect ToPixels(int x, int y, int width, int height) const;

private:
    int m_averageCharWidth;
    int m_charHeight;
};

} // namespace linlangok
