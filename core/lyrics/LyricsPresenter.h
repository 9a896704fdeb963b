#pragma once

#include "common/SongKind.h"
#include "core/lyrics/LrcLyricView.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/lyrics/MidiLyricView.h"
#include "core/lyrics/StageLayout.h"
#include "midi/LyricTrackView.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace linlangok {

// What one tick of the lyrics show reads of the song being played.
struct LyricsSongState {
    double position = 0; // the session's playback position, seconds
    bool playing = false; // the main window's playing flag
    bool idle = false; // the session's idle flag
    ESongKind kind = ESongKind::None;
    bool lyricPathEmpty = true;
    std::int32_t lrcOffsetMilliseconds = 0; // the user's nudge of the LRC lyrics
    std::u16string songTitle; // the MIDI song's title (kUntitled without one) and subtitle
    std::u16string songSubtitle;
    std::u16string fileTitle; // the song file's name without its extension, as displayed
    double length = 0; // the song's whole seconds
};

// Where the lyrics show reads the song: implemented over the session and the main controller.
// UI thread.
class ILyricsSongSource {
public:
    virtual ~ILyricsSongSource() = default;

    // The song now; none while a song loads.
    virtual std::optional<LyricsSongState> Read() const = 0;

    // The encoding of the song's texts (the session's override or detection).
    virtual const ITextEncodingDetector& TextEncoding() const = 0;
};

// The lyrics show without a window: it owns the LRC view and the MIDI lyric view, learns the
// song's lyrics as the session loads them, and on each tick of the 10 Hz timer reads the song,
// chooses the view and advances its scroll. The window paints Frame and the stage view shows
// Stage; both only read what the last tick left, so a paint never moves the text. The code page
// and the source outlive the presenter. UI thread.
class CLyricsPresenter final : public ILyricsShow, public ILyricTrackView {
public:
    CLyricsPresenter(const ICodePage& codePage, const ILyricsSongSource& source);

    // In the encoding of the source's song texts.
    void LoadLrcLyrics(const std::filesystem::path& path) override;
    void ShowIdleLyrics() override { m_lrcView.ShowIdle(); }
    int MidiLyricLineCount() const override { return m_midiView.LineCount(); }
    void SetLyricTrack(const CMidiTrack* track) override;

    // Reads the song and advances the scroll of the view in use; false, and nothing changes,
    // while a song loads.
    bool Tick();

    // What the window draws in a client area clientHeight pixels tall.
    LyricFrame Frame(int clientHeight) const;

    // What the stage view shows: the lines of the view in use, the title (a MIDI song's own when
    // it has one, else the song file's name) and the next song when a source names it.
    StageFrame Stage() const;
    // Where the stage view learns the song queued next; without it the view names none.
    void SetUpNextSource(std::function<std::optional<StageUpNext>()> upNext) { m_upNext = std::move(upNext); }

private:
    const ILyricsSongSource& m_source;
    CLrcLyricView m_lrcView;
    CMidiLyricView m_midiView;
    LyricsPaintInput m_frame; // what the last tick read
    bool m_midiFrame = false; // the last tick chose the MIDI view
    std::u16string m_title; // chosen by the last tick
    std::u16string m_credits;
    double m_length = 0;
    std::function<std::optional<StageUpNext>()> m_upNext;
};

} // namespace linlangok
