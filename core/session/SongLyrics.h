#pragma once

#include "common/FilePath.h"
#include "common/SongKind.h"
#include "common/UserPrompts.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/session/RememberedSong.h"
#include "midi/LyricTrackView.h"

#include <filesystem>
#include <string>

namespace linlangok {

// The song's lyrics: the lyric file chosen for it, remembered for the song, and the lyrics show
// window they go to. UI thread.
class CSongLyrics {
public:
    // Creates the Lyric folder under the program folder (failures are ignored). The names, the
    // prompts and the song outlive the lyrics.
    CSongLyrics(const std::filesystem::path& programFolder, const CPathDisplay& names, IUserPrompts& prompts,
        CRememberedSong& song);

    CSongLyrics(const CSongLyrics&) = delete;
    CSongLyrics& operator=(const CSongLyrics&) = delete;

    // Binds the lyrics show window: the LRC lines it loads and the MIDI lyric track it draws.
    // Until then the lyrics go nowhere. Both outlive the session or are detached with nulls.
    void Attach(ILyricsShow* show, ILyricTrackView* trackView);
    // The attached lyrics show window, or one that shows nothing.
    ILyricsShow& Show() { return *m_show; }

    const std::u16string& Path() const { return m_path; }
    void SetPath(std::u16string path) { m_path = std::move(path); }
    // Remembers the lyric path for the accompaniment file.
    void RememberPath();
    // The song has no lyrics and the lyrics window shows its idle lines (as the last Load found).
    bool ShowsIdleLyrics() const { return m_showsIdleLyrics; }

    // For a song just recalled with these values: takes the remembered lyric path when that file
    // still exists, and clears it in `values` when it does not; keeps the path otherwise.
    void Recall(SongMemoryValues& values);
    // At Play: shows the lyrics of the song (LoadSongLyrics) and keeps the path they came from.
    void Load(const std::filesystem::path& song, ESongKind kind);
    // The view draws the lyric track of the MIDI song just loaded (null for none).
    void ShowTrack(const CMidiTrack* track);

private:
    std::filesystem::path m_folder;
    const CPathDisplay& m_names;
    IUserPrompts& m_prompts;
    CRememberedSong& m_song;
    ILyricsShow* m_show;
    ILyricTrackView* m_trackView = nullptr;
    std::u16string m_path;
    bool m_showsIdleLyrics = false;
};

} // namespace linlangok
