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
// (header tags such as [ti:...], empty timed lines) are skipped.
namespace linlangok {

// One timed LRC line.
struct LyricLine {
    std::int32_t time = 0; // whole seconds from the start of the song, never negative
    std::int32_t y = 0; // pixels from the top of the view's sheet: index × line height
    std::u16string text; // the text after the line's last "]", blanks kept

    bool operator==(const LyricLine&) const = default;
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
// line's last "]". y is left 0.
void ParseLrcLine(std::u16string_view line, std::vector<LyricLine>& lines);

// The lines of an LRC text: its text lines (up to a line of more than kMaxLrcLineBytes bytes)
// parsed, sorted stably by time, y = index × lineHeight. The text is UTF-8 or UTF-16 when it
// starts with that byte-order mark; otherwise in the encoding the detector finds for its lines,
// else UTF-8 when it is valid UTF-8 and not plain ASCII, else in the legacy code page
// (codePage). A line is cut at its first zero character. Reads the stream twice (encoding, then
// lines), so it must be seekable. Never throws for bad content.
std::vector<LyricLine> ReadLrcLines(std::istream& in, const ICodePage& codePage, int lineHeight,
    const ITextEncodingDetector& detector = NoEncodingDetection());
std::vector<LyricLine> ParseLrcText(std::string_view bytes, const ICodePage& codePage, int lineHeight,
    const ITextEncodingDetector& detector = NoEncodingDetection());

// ReadLrcLines of a file; nothing when the file cannot be opened.
std::optional<std::vector<LyricLine>> ReadLrcFile(const std::filesystem::path& path, const ICodePage& codePage,
    int lineHeight, const ITextEncodingDetector& detector = NoEncodingDetection());

// The name of the encoding ReadLrcLines reads the text from the stream's start in: "UTF-8",
// "UTF-16LE", "UTF-16BE" or the name of the chosen code page.
std::string LrcEncodingName(
    std::istream& in, const ICodePage& codePage, const ITextEncodingDetector& detector = NoEncodingDetection());

// The five idle lines shown when a song has no lyrics, y = index × lineHeight.
std::vector<LyricLine> IdleLyricLines(int lineHeight);

} // namespace linlangok
