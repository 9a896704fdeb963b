#pragma once

#include "common/CodePage.h"
#include "common/Product.h"
#include "common/TextEncodings.h"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading LRC lyric files. The dialect is narrow and forgiving: time tags give whole seconds,
// several tags on one line give several lines with the same text, and lines that end with "]"
// (header tags such as [ti:...], empty timed lines) are skipped. Beyond that, the exact times are
// kept next to the whole seconds, "<m:ss.xx>" word tags in a line's text time its words, and an
// [offset:±ms] tag shifts every time.
namespace linlangok {

// One word of a word-timed LRC line: where it starts, in milliseconds from the start of the song,
// and its text.
struct LrcWord {
    std::int64_t timeMs = 0;
    std::u16string text;
    bool golden = false; // a golden note of an UltraStar song; never set from an LRC file

    bool operator==(const LrcWord&) const = default;
};

// One timed LRC line.
struct LyricLine {
    std::int32_t time = 0; // whole seconds from the start of the song, never negative
    std::int32_t y = 0; // pixels from the top of the view's sheet: index × line height
    // The text after the line's last "]", blanks kept; of a word-timed line, its words joined.
    std::u16string text;
    std::int64_t timeMs = 0; // the exact start in milliseconds; time is its whole seconds
    std::vector<LrcWord> words; // of a word-timed line, in line order; empty for a plain line
    int voice = 0; // 1 for the second voice of an UltraStar duet; 0 from an LRC file

    bool operator==(const LyricLine&) const = default;
};

// The lines of an LRC text, the offset its [offset:±ms] tag gave them (0 without one), and the
// song's title and artist from its first [ti:...] and [ar:...] tags (empty without them).
struct LrcLyrics {
    std::vector<LyricLine> lines;
    std::int64_t offsetMs = 0;
    std::u16string title;
    std::u16string artist;
};

// Text lines longer than this many bytes stop the reading: that line and everything after it
// are not read.
inline constexpr std::size_t kMaxLrcLineBytes = 999;

// The text between "[" and "]" as whole seconds (minutes × 60 + the first two characters of the
// seconds field; each field read like atoi), or -1 when it is no time: no ":", nothing after
// it, a minute field longer than 9 characters, or a value beyond 32 bits. Negative results
// (a negative minute field) are returned as they are; callers ignore them.
std::int32_t ParseTimeTag(std::u16string_view tag);

// Appends one LyricLine per time tag of the line (tag order), each with the text after the
// line's last "]" and its exact time: the fraction after the seconds' digits and a "." or ":"
// is kept ("00:12.34" gives 12,340 ms; three digits at most are read). y is left 0.
//
// Word-timed lines: in that text every "<m:ss.xx>" tag (1 to 9 minute digits, 1 or 2 second
// digits, an optional fraction after "." or ":") starts a word that runs to the next tag; text
// before the first tag is a word at the line's time, text after the last one a word (empty when
// the tag ends the line: the end of the last word). A "<" that starts no such tag is text. Such
// a line's text is its words joined, and the word times belong to the line's latest time tag not
// after the first tagged word (else its first): another tag of the line gets them moved along.
void ParseLrcLine(std::u16string_view line, std::vector<LyricLine>& lines);

// The lines of an LRC text: its text lines (up to a line of more than kMaxLrcLineBytes bytes)
// parsed, shifted by the last line that starts with an [offset:±ms] tag ("offset" in any case,
// the value read like atoi and limited to ±366 days; a positive offset shows the lyrics earlier;
// no time goes below 0), sorted stably by whole seconds, y = index × lineHeight. The text is UTF-8
// or UTF-16 when it starts with that byte-order mark; otherwise in the encoding the detector finds
// for its lines, else UTF-8 when it is valid UTF-8 and not plain ASCII, else in the legacy code
// page (codePage). A line is cut at its first zero character. Reads the stream twice (encoding,
// then lines), so it must be seekable. Never throws for bad content.
LrcLyrics ReadLrcLines(std::istream& in, const ICodePage& codePage, int lineHeight,
    const ITextEncodingDetector& detector = NoEncodingDetection());
LrcLyrics ParseLrcText(std::string_view bytes, const ICodePage& codePage, int lineHeight,
    const ITextEncodingDetector& detector = NoEncodingDetection());

// No lyric file is read beyond this size: the lines of a song take some kilobytes.
inline constexpr std::uint64_t kMaximumLrcFileBytes = 16 << 20;

// ReadLrcLines of a file; nothing when it is missing, not a regular file, larger than
// kMaximumLrcFileBytes or unreadable.
std::optional<LrcLyrics> ReadLrcFile(const std::filesystem::path& path, const ICodePage& codePage, int lineHeight,
    const ITextEncodingDetector& detector = NoEncodingDetection());

// The name of the encoding ReadLrcLines reads the text from the stream's start in: "UTF-8",
// "UTF-16LE", "UTF-16BE" or the name of the chosen code page.
std::string LrcEncodingName(
    std::istream& in, const ICodePage& codePage, const ITextEncodingDetector& detector = NoEncodingDetection());

// The five idle lines shown when a song has no lyrics, y = index × lineHeight.
std::vector<LyricLine> IdleLyricLines(int lineHeight);

} // namespace linlangok
