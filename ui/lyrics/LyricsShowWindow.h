#pragma once

#include "core/controller/DesktopOpener.h"
#include "core/controller/MainCommand.h"
#include "core/controller/SessionLyricsSource.h"
#include "core/lyrics/LyricsPresenter.h"
#include "ui/lyrics/StageWindow.h"

#include <QFont>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QMenu;

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace linlangok {

class CKaraokeSession;
class CResizableWindow;

struct LyricsShowParts {
    CKaraokeSession& session; // position, song kind, idle flag, lyric path
    IMainCommands& controller; // the playing flag; hears when the window closes
    IUserPrompts& prompts;
    IDesktopOpener& desktop;
    const ICodePage& codePage; // for LRC files in the legacy code page
};

// The lyrics show window "歌词秀": the lyrics of the playing song on black, the current line in
// the vertical middle. An LRC view draws timed lines or the idle lines, a word-timed current
// line sung red up to the word being sung, an UltraStar duet's second voice in its own colour and
// golden syllables in gold; a MIDI view draws the song's syllables in lines (ten to a line, or as
// a .kar song breaks them) with the current line sung red up to the syllable being sung.
// The window paints what its presenter gives and forwards the user's input; the presenter learns
// the song's lyrics from the session (attach Presenter() to it). A 10 Hz timer ticks the
// presenter, which moves the text up smoothly while the song plays; paints only draw that frame,
// so exposing or resizing the window never moves the text. Closing it only hides it. Resizable
// down to its initial size; its size is written at exit. Its context menu opens the stage view
// (the same lyrics full screen) and picks its screen, chooses the encoding of the song's texts,
// and moves the LRC lyrics earlier or later by a tenth of a second; the song remembers both.
// While a scored song plays, its pitch lane takes the lower third below the lyrics, read at
// CScoringLane::kViewReadPeriod by a second timer (the presenter still ticks at 10 Hz), and the
// window's accessible description says the score and the last line's word. The parts and the
// scoring source outlive the window. UI thread.
class CLyricsShowWindow final : public QWidget, public ICompanionWindow, public IStageSource {
    Q_OBJECT
public:
    explicit CLyricsShowWindow(const LyricsShowParts& parts, QWidget* owner = nullptr);
    ~CLyricsShowWindow() override;

    bool IsShown() const override { return isVisible(); }
    void SetShown(bool shown) override { setVisible(shown); }
    const CResizableWindow& Resizer() const { return *m_resizer; }

    CLyricsPresenter& Presenter() { return m_presenter; }

    // The timer's work: ticks the presenter and asks for a repaint. Skipped while a song loads;
    // under any other box it runs on.
    void FrameTick();
    // Where the pitch lane is read; null for none. Its stage view has a source of its own.
    void SetScoringSource(const IScoringViewSource* source);
    const CScoringLane& Scoring() const { return m_scoring; }

    StageFrame Stage() const override { return m_presenter.Stage(); }
    // The session's picture due now.
    std::shared_ptr<const SongFrame> StagePicture() const override;
    // Opens the stage view full screen, or closes it (F11 and the context menu).
    void ToggleStageView() { m_stageWindow->Toggle(); }
    CStageWindow& StageWindow() { return *m_stageWindow; }
    // The context menu, as a right click opens it.
    std::unique_ptr<QMenu> MakeContextMenu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Reads the song's texts again in the encoding chosen now: the LRC file at once, a MIDI song
    // at its next Play.
    void ChooseEncoding(const std::string& name);
    void NudgeLrcOffset(std::int32_t milliseconds);
    // Reads the scoring source and runs the lane's timer while there is a view to draw; whether
    // the lane may have changed.
    bool ReadScoring();
    // The view's lines, and its current line split karaoke-style when it is.
    void PaintFrame(QPainter& painter, const LyricFrame& frame);
    void DrawCentredLines(QPainter& painter, const std::vector<LyricTextLine>& lines);
    // The text rendered in the lyric font and the colour, made on first use.
    const QPixmap& LineImage(const std::u16string& text, RgbColour colour);

    LyricsShowParts m_parts;
    CSessionLyricsSource m_source;
    CLyricsPresenter m_presenter;
    QFont m_font;
    // Rendering text is most of a paint's cost, so each line is rendered once and then copied;
    // dropped when too many have gathered or the screen's pixel ratio changes.
    std::map<std::pair<std::u16string, QRgb>, QPixmap> m_lineImages;
    qreal m_lineImageRatio = 1;
    QTimer m_frameTimer;
    CScoringLane m_scoring;
    QTimer m_laneTimer;
    CResizableWindow* m_resizer = nullptr; // a child of the window
    std::unique_ptr<CStageWindow> m_stageWindow;
};

} // namespace linlangok
