#pragma once

#include "core/lyrics/StageLayout.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

class QScreen;

namespace linlangok {

// Where the stage view reads its frames: the lyrics window, whose views do the arithmetic.
class IStageSource {
public:
    virtual ~IStageSource() = default;
    virtual StageFrame Stage() const = 0;
};

// Paints a frame into rect, readable from across the room: the current line at least an eighth of
// the height tall, swept red as it is sung, the next line smaller below, both wrapped to the width
// instead of clipped; the title and credits instead of the lines at the start, and the countdown's
// dots above the first line. A code to scan (手机点歌), when given, stands in the lower right
// corner, a third of the height tall with its caption above it, and the text keeps left of it.
void PaintStage(QPainter& painter, const QRect& rect, const StageFrame& frame, const QImage& cornerCode = {});

// The stage view: the lyrics full screen on the screen the user picks, by default a second
// monitor or TV when one is attached. Esc, F11 and a double-click close it. A 10 Hz timer reads
// the source while it is shown. The source outlives the window. UI thread.
class CStageWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CStageWindow(const IStageSource& source, QWidget* owner = nullptr);

    // Shows the view full screen on the chosen screen, or closes it.
    void Toggle();

    // The screen the view opens on: the one picked last while it is attached, else the first that
    // is not the primary one, else the primary one.
    QScreen* ChosenScreen() const;
    // Remembers the screen for later runs and moves an open view onto it.
    void ChooseScreen(QScreen* screen);

    const StageFrame& Frame() const { return m_frame; }
    // A code to scan (手机点歌) shown in a corner over the lyrics; an empty image removes it.
    void SetCornerCode(const QImage& code);
    void FrameTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowOn(QScreen* screen);

    const IStageSource& m_source;
    StageFrame m_frame;
    QImage m_cornerCode;
    QTimer m_frameTimer;
};

} // namespace linlangok
