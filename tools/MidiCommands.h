#pragma once

#include "midi/MidiSong.h"
#include "tools/Commands.h"

#include <string>

namespace linlangok {

// A song loaded as the session loads it, its texts in the detected encoding or the one given.
class CToolSong {
public:
    explicit CToolSong(const ToolContext& context);

    // Loads the command's FILE argument, its only one besides --encoding. The exit code when that
    // fails: 2 for a usage error, 1 when the file could not be loaded; 0 once loaded.
    int LoadArgument(ToolContext& context, const char* usage);
    // Reads the song's texts in this encoding (a name of the text encodings) instead of the detected one.
    void SetEncoding(std::string name) { m_encodingOverride = std::move(name); }
    // False when the file could not be loaded (the reasons went to the prompts).
    bool Load(const std::string& path);
    CMidiSong& Song() { return m_song; }
    const CMidiTrack* LyricTrack() const { return m_song.LyricTrack(); }

private:
    std::string m_encodingOverride;
    CEncodingOverride m_textEncoding;
    IUserPrompts& m_prompts;
    CMidiSong m_song;
};

// linlangok-tool info FILE: the song as a load leaves it, as one JSON object on standard output,
// with the encoding its texts were read in. An UltraStar song (".txt") goes to RunUltraStarInfo.
inline constexpr const char* kInfoUsage = "info FILE [--encoding NAME]";
int RunMidiInfo(ToolContext& context);
// linlangok-tool lyrics FILE: the lyric track's syllables and the encoding they were read in, as
// JSON {encoding, syllables: [{tick, time, text}]}, with "line_break": true or "paragraph": true
// where a .kar song's "/" or "\\" stood. An UltraStar song goes to RunUltraStarLyrics.
inline constexpr const char* kLyricsUsage = "lyrics FILE [--encoding NAME]";
int RunMidiLyrics(ToolContext& context);
// info SONG.txt: the song's version, encoding, title and artist, every header read, whether it is
// relative, its voices, note and line counts, its length in seconds and the warnings.
int RunUltraStarInfo(ToolContext& context);
// lyrics SONG.txt: {encoding, syllables: [{time, end, text, pitch, type, voice, line_break}]}, the
// times in seconds from the audio's start, the voices from 1, line_break on a line's first
// syllable after the first line.
int RunUltraStarLyrics(ToolContext& context);
// linlangok-tool transpose IN OUT N: what Save-as does: load IN, transpose every track by N
// semitones (-127..127), write OUT.
int RunMidiTranspose(ToolContext& context);

} // namespace linlangok
