#pragma once

#include "core/controller/StatusText.h"

#include <QFont>
#include <QWidget>

namespace linlangok {

inline constexpr QRgb kStatusTextColour = qRgb(78, 239, 37);

// The status and time display: green text on black, painted whole on every repaint (Qt
// double-buffers the widget, so nothing flickers and no background is erased first).
class CStatusDisplay final : public QWidget {
public:
    explicit CStatusDisplay(QWidget* parent);

    // Shows the values at the next repaint.
    void SetValues(const StatusValues& values);
    const StatusValues& Values() const { return m_values; }
    // Texts end left of this x (pixels), where the level meter covers the strip.
    void SetTextRight(int x) { m_textRight = x; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    StatusValues m_values;
    int m_textRight = QWIDGETSIZE_MAX;
};

} // namespace linlangok
