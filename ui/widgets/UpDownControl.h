#pragma once

#include <QWidget>

class QToolButton;

namespace linlangok {

// An up-down control without a buddy: two arrow buttons over a position in a range. Each step
// (click, auto-repeat, or the arrow keys while focused) moves the position by one, clamped to the
// range, and reports the new position.
class CUpDownControl final : public QWidget {
    Q_OBJECT
public:
    explicit CUpDownControl(QWidget* parent);

    void SetRange(int minimum, int maximum);
    // Sets the position without reporting it.
    void SetPosition(int position);
    int Position() const { return m_position; }

    void StepUp() { Step(+1); }
    void StepDown() { Step(-1); }

signals:
    void stepped(int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int delta);

    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

} // namespace linlangok
