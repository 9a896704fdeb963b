#pragma once

#include "core/lyrics/StageLayout.h"
#include "core/picture/SongPicture.h"
#include "ui/lyrics/ScoringLane.h"

#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>

class QScreen;

namespace linlangok {

// Where the stage view reads its frames: the lyrics window, whose views do the arithmetic, and
// the song's picture, which a song with one shows instead (its lyrics are in it).
class IStageSource {
public:
    virtual ~IStageSource() = default;
    virtual StageFrame Stage() const = 0;
    // The picture due now; null for a song without pictures.
    virtual std::shared_ptr<const SongFrame> StagePicture() const = 0;
};

// The stage view's face, a CJK sans serif, at a pixel size (1 at least).
QFont StageFont(int pixels);

// Paints a frame into rect, readable from across the room: the current line at least an eighth of
// the height tall, swept red as it is sung (in KaraokeRuns' colours), a duet's other voice's line
// still being sung as tall above it, the next line smaller below, all wrapped to the width
// instead of clipped; the title and credits instead of the lines at the start, and the countdown's
// dots above the first line. A song's picture, when given, stands instead of the lines (its lyrics
// are in it), with the next song named over its foot. A code to scan (手机点歌), when given, stands
// in the lower right corner, a third of the height tall with its caption above it, and the text or
// the picture keeps left of it.
void PaintStage(QPainter& painter, const QRect& rect, const StageFrame& frame, const QImage& cornerCode = {},
    const SongFrame* picture = nullptr);

// The stage view: the lyrics full screen on the screen the user picks, by default a second
// monitor or TV when one is attached, or the song's picture letterboxed. While a scored song
// plays, the pitch lane takes the lower third below them, and once it has ended the score screen
// stands instead of them. Esc, F11 and a double-click close it. A timer reads the sources while
// it is shown, at 10 Hz for lyrics, at kPictureFramePeriod for pictures and at
// CScoringLane::kViewReadPeriod while the lane shows. The sources outlive the window. UI thread.
class CStageWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPictureFramePeriod = 15; // milliseconds

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
    const std::shared_ptr<const SongFrame>& Picture() const { return m_picture; }
    void FrameTick();
    // Where the lane and the score screen are read; null for none.
    void SetScoringSource(const IScoringViewSource* source);
    const CScoringLane& Scoring() const { return m_scoring; }

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
    std::shared_ptr<const SongFrame> m_picture;
    CScoringLane m_scoring;
    QTimer m_frameTimer;
};

} // namespace linlangok
