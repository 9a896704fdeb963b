#pragma once

#include "common/CodePage.h"
#include "common/TextEncodings.h"
#include "core/lyrics/LrcParser.h"
#include "core/scoring/Melody.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading UltraStar song files (".txt"): the headers, the notes of one or two voices timed in
// seconds from the start of the audio, and their lyric lines. Versions 1.x.x and unversioned
// (legacy) files; a legacy file may be relative, change its tempo with "B" lines and name its
// encoding.
namespace linlangok {

// One note: a syllable sung on a pitch for some beats.
struct UltraStarNote {
    ENoteKind kind = ENoteKind::Normal;
    int voice = 0; // 0 for P1 (and a song without voices), 1 for P2
    std::int64_t beat = 0; // the absolute start beat (a relative file's offset added)
    std::int64_t length = 0; // beats
    int pitch = 0; // semitones from middle C (MIDI 60)
    std::u16string text; // the syllable as written, its blanks kept
    double start = 0; // seconds from the start of the audio
    double end = 0;

    bool operator==(const UltraStarNote&) const = default;
};

// One lyric line of a voice: the notes [firstNote, firstNote + noteCount) of the song, from the
// start of the first to the end of the last (seconds from the start of the audio).
struct UltraStarLine {
    int voice = 0;
    std::size_t firstNote = 0;
    std::size_t noteCount = 0;
    double start = 0;
    double end = 0;

    bool operator==(const UltraStarLine&) const = default;
};

struct UltraStarSong {
    std::string version; // as #VERSION gives it ("1.0.0"); empty for a legacy file
    std::string encoding; // the encoding the texts were read in: "UTF-8", "GBK"...
    std::u16string title, artist, language, genre, year, edition;
    std::u16string singers[2]; // #P1 and #P2, else #DUETSINGERP1 and #DUETSINGERP2
    // File names as written, relative to the song file's folder; audio is #AUDIO, else #MP3.
    std::u16string audio, video, cover, background, vocals, instrumental;
    double bpm = 0; // as #BPM gives it: a quarter of the beats per minute
    double gapMs = 0; // from the start of the audio to beat 0
    std::optional<double> startSeconds, endMs, videoGapSeconds, previewStartSeconds;
    bool relative = false;
    int voices = 1; // 2 when P2 has notes
    std::vector<UltraStarNote> notes; // voice 0, then voice 1, each in beat order
    std::vector<UltraStarLine> lines; // voice 0, then voice 1, in note order
    std::vector<std::u16string> warnings; // what was skipped or looks wrong, as user texts
    // Every header read with a value, the key in upper case, in file order.
    std::vector<std::pair<std::string, std::u16string>> headers;

    // Seconds from the start of the audio to #END, else to the end of the last note.
    double LengthSeconds() const;
};

// The song, or nothing and why not as a user text ("不是 UltraStar 歌曲文件").
struct UltraStarRead {
    std::optional<UltraStarSong> song;
    std::u16string error;
};

// No song file is read beyond this size: a song takes some tens of kilobytes.
inline constexpr std::uint64_t kMaxUltraStarFileBytes = 8 << 20;
// A longer text line is skipped with a warning: a header then counts as absent.
inline constexpr std::size_t kMaxUltraStarLineBytes = 8192;
// Beats and lengths beyond this skip their line with a warning; at #BPM 1 it is about 4.8 years.
inline constexpr std::int64_t kMaxUltraStarBeat = 10'000'000;
// #BPM and "B" tempos outside [kMinUltraStarBpm, kMaxUltraStarBpm] are invalid.
inline constexpr double kMinUltraStarBpm = 1;
inline constexpr double kMaxUltraStarBpm = 100'000;
// Headers beyond this many are skipped with a warning: a song has some twenty.
inline constexpr std::size_t kMaxUltraStarHeaders = 1000;
// Notes beyond this many are skipped with a warning: a song has some hundreds.
inline constexpr std::size_t kMaxUltraStarNotes = 100'000;
// At most this many warnings are kept; one more says that the rest were left out.
inline constexpr std::size_t kMaxUltraStarWarnings = 50;

// The song in the bytes of a song file. Its texts are read in the encoding the detector says the
// user chose (Chosen), else UTF-8 in a file of version 1.x.x, else the one its #ENCODING names
// (Named), else UTF-8 after a byte-order mark, else what the detector finds, else UTF-8 when
// valid, else the legacy code page. An error for a file larger than kMaxUltraStarFileBytes,
// without headers, without a valid #BPM, of another major version or without notes; every other
// flaw is a warning. Never throws for bad content.
UltraStarRead ReadUltraStarSong(std::string_view bytes, const ITextEncodingDetector& detector, const ICodePage& legacy);

// ReadUltraStarSong of a regular file; one larger than kMaxUltraStarFileBytes is refused
// without being read.
UltraStarRead ReadUltraStarFile(
    const std::filesystem::path& path, const ITextEncodingDetector& detector, const ICodePage& legacy);

// The file a header names (#AUDIO, #VIDEO …), beside the song file; empty for no name or an
// absolute path (a song names files of its own folder).
std::filesystem::path UltraStarFile(const std::filesystem::path& songFile, const std::u16string& name);

// The lines of every voice as word-timed LRC lines, merged by start time (of lines starting
// together, the first voice's first), each with its voice: one word per syllable at its start,
// golden for a golden note (rap or not), then an empty word where the line ends;
// y = index × lineHeight. Times before the audio's start become 0.
std::vector<LyricLine> UltraStarLyricLines(const UltraStarSong& song, int lineHeight);

// The notes of a voice as a reference melody (pitch 60 + the note's) made monophonic, in the
// voice's lines.
ReferenceMelody UltraStarMelody(const UltraStarSong& song, int voice);

} // namespace linlangok
