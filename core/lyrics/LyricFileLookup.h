#pragma once

#include "common/FilePath.h"
#include "common/UserPrompts.h"
#include "core/lyrics/LyricsLayout.h"

#include <filesystem>
#include <string>
#include <unordered_map>

// Choosing a song's lyrics when it starts: an LRC file named after the song in the Lyric
// folder, the lyric file the user chose, the MIDI file's own syllables, or the idle lines.
namespace linlangok {

// The lyrics show as the lyric lookup uses it. Implemented by the lyrics presenter; UI thread.
class ILyricsShow {
public:
    virtual ~ILyricsShow() = default;

    // The LRC view's Load: replaces its lines with those of the file (see CLrcLyricView::Load).
    virtual void LoadLrcLyrics(const std::filesystem::path& path) = 0;

    // The LRC view's ShowIdle: replaces its lines with the idle lines.
    virtual void ShowIdleLyrics() = 0;

    // The number of lines of the MIDI lyric view's current source (0 without one).
    virtual int MidiLyricLineCount() const = 0;
};

// The Lyric folder under the program folder.
std::filesystem::path LyricFolder(const std::filesystem::path& programFolder);

// Creates the folder when it is missing; failures are ignored.
void CreateLyricFolder(const std::filesystem::path& folder);

// The LRC file in the Lyric folder for a song: the first "*.lrc" file of the folder (not of its
// subfolders) whose name is, case for case, the song's base name (the text between the path's
// last "/" and its last ".", empty when that dot is missing or before the "/") followed by
// ".lrc"; failing that, the first whose name reads as that name does (CPathDisplay), so that a
// song and its lyrics named in different encodings (GBK and UTF-8) still meet. Empty when there
// is none or the folder cannot be read.
std::filesystem::path FindLyricFile(const std::filesystem::path& songPath, const std::filesystem::path& lyricFolder,
    const CPathDisplay& names, IUserPrompts& prompts);

// The LRC files of the Lyric folder, listed once, to find the lyrics of many songs as FindLyricFile
// does (a catalogue scan). The names outlive the index.
class CLyricFolderIndex {
public:
    CLyricFolderIndex(const std::filesystem::path& lyricFolder, const CPathDisplay& names, IUserPrompts& prompts);
    std::filesystem::path Find(const std::filesystem::path& songPath) const;

private:
    const CPathDisplay& m_names;
    std::unordered_map<std::string, std::filesystem::path> m_byName;
    std::unordered_map<std::u16string, std::filesystem::path> m_byText; // the first file that reads so
};

// Chooses the lyrics for a song that has just been opened and returns the new idle flag.
// A MIDI song loads its own file into the LRC view and shows the idle lines when
// its syllables fill 2 lines or fewer; lyricPath is left alone. Any other song loads the LRC
// file FindLyricFile finds (which becomes lyricPath), else lyricPath when it is set, else shows
// the idle lines.
bool LoadSongLyrics(const std::filesystem::path& songPath, ESongKind songKind, std::filesystem::path& lyricPath,
    ILyricsShow& show, const std::filesystem::path& lyricFolder, const CPathDisplay& names, IUserPrompts& prompts);

} // namespace linlangok
