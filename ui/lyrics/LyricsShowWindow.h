#pragma once

#include "core/controller/DesktopOpener.h"
#include "core/controller/MainCommand.h"
#include "core/lyrics/LrcLyricView.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/lyrics/MidiLyricView.h"
#include "midi/LyricTrackView.h"
#include "ui/lyrics/StageWindow.h"

#include <QFont>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QMenu;

#include <functional>
#include <map>
#include <memory>
#include <optional>
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
// line sung red up to the word being sung; a MIDI view draws the song's syllables in lines (ten
// to a line, or as a .kar song breaks them) with the current line sung red up to the syllable
// being sung.
// A 10 Hz timer reads the session and moves the text up smoothly while the song plays; paints
// only draw that frame, so exposing or resizing the window never moves the text. Closing it only
// hides it. Resizable down to its initial size; its size is written at exit. Its context menu
// opens the stage view (the same lyrics full screen) and picks its screen, chooses the encoding
// of the song's texts, and moves the LRC lyrics earlier or later by a tenth of a second; the
// song remembers both. The parts outlive the window. UI thread.
class CLyricsShowWindow final : public QWidget,
                                public ICompanionWindow,
                                public ILyricsShow,
                                public ILyricTrackView,
                                public IStageSource {
    Q_OBJECT
public:
    explicit CLyricsShowWindow(const LyricsShowParts& parts, QWidget* owner = nullptr);
    ~CLyricsShowWindow() override;

    bool IsShown() const override { return isVisible(); }
    void SetShown(bool shown) override { setVisible(shown); }
    const CResizableWindow& Resizer() const { return *m_resizer; }

    // In the encoding of the session's song texts (its override or detection).
    void LoadLrcLyrics(const std::filesystem::path& path) override;
    void ShowIdleLyrics() override { m_lrcView.ShowIdle(); }
    int MidiLyricLineCount() const override { return m_midiView.LineCount(); }

    void SetLyricTrack(const CMidiTrack* track) override;

    // The timer's work: reads the session and the playing flag, advances the scroll of the view
    // in use and asks for a repaint. Skipped while a song loads; under any other box it runs on.
    void FrameTick();

    // What the stage view shows of the frame the last tick read.
    StageFrame Stage() const override;
    // Where the stage view learns the song queued next; without it the view names none.
    void SetUpNextSource(std::function<std::optional<StageUpNext>()> upNext) { m_upNext = std::move(upNext); }
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
    void NudgeLrcOffset(int32_t milliseconds);
    // The view's lines, and its current line split karaoke-style when it is.
    void PaintFrame(QPainter& painter, const LyricFrame& frame);
    void DrawCentredLines(QPainter& painter, const std::vector<LyricTextLine>& lines);
    // The text rendered in the lyric font and the colour, made on first use.
    const QPixmap& LineImage(const std::u16string& text, RgbColour colour);

    LyricsShowParts m_parts;
    CLrcLyricView m_lrcView;
    CMidiLyricView m_midiView;
    LyricsPaintInput m_frame; // what the last tick read; the paint adds the client height
    bool m_midiFrame = false; // the last tick chose the MIDI view
    std::u16string m_title; // the song's, as the last tick read them
    std::u16string m_credits;
    double m_length = 0; // the song's whole seconds, as the last tick read them
    std::function<std::optional<StageUpNext>()> m_upNext;
    QFont m_font;
    // Rendering text is most of a paint's cost, so each line is rendered once and then copied;
    // dropped when too many have gathered or the screen's pixel ratio changes.
    std::map<std::pair<std::u16string, QRgb>, QPixmap> m_lineImages;
    qreal m_lineImageRatio = 1;
    QTimer m_frameTimer;
    CResizableWindow* m_resizer = nullptr; // a child of the window
    std::unique_ptr<CStageWindow> m_stageWindow;
};

} // namespace linlangok
