#pragma once

#include "common/CodePage.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Private-profile (INI) files: "[SECTION]" lines and "KEY=value" lines below them.
namespace linlangok {

// No settings file comes near this size.
inline constexpr std::uint64_t kMaximumIniFileBytes = 4 << 20;

// A profile structure: each byte as two uppercase hexadecimal digits, then the low byte of the
// bytes' sum as two more. 18 as a 32-bit integer is "1200000012".
std::u16string EncodeProfileStruct(std::span<const std::uint8_t> bytes);

// The bytes of a profile structure of exactly size bytes (hex digits of either case), or
// nothing when the text has another length, a character that is not a hex digit, or a wrong
// checksum.
std::optional<std::vector<std::uint8_t>> DecodeProfileStruct(std::u16string_view text, std::size_t size);

// An INI file held as its lines. A line the program does not set is written back byte for
// byte, with its line end and whatever encoding it has, invalid bytes included; only set lines
// are encoded anew. Section and key names compare without regard to ASCII case; the first of
// duplicates counts.
// A file that starts with a byte-order mark is UTF-16 or UTF-8 throughout. Otherwise each line
// reads as UTF-8 when it is valid UTF-8 with a non-ASCII character, else in the legacy code page
// (codePage, which the caller keeps alive for the object's lifetime); set lines are written in
// UTF-8 when the file is valid UTF-8 with some non-ASCII text, and otherwise in the legacy code
// page, unless one of them does not read back from it: then all set lines are UTF-8. Lines the
// program adds end as the file's first line does (CR LF in a new file).
class CIniFile {
public:
    // An empty file.
    explicit CIniFile(const ICodePage& codePage);

    // Never fails: any bytes read as some lines.
    static CIniFile Parse(std::string_view bytes, const ICodePage& codePage);

    // The file at path; an empty file when it is missing. Nothing when it cannot be read: not a
    // regular file, larger than kMaximumIniFileBytes, or unreadable.
    static std::optional<CIniFile> Load(const std::filesystem::path& path, const ICodePage& codePage);

    std::string Serialize() const;

    // Saves the file through SaveFile, which never leaves it half-written; false when that fails.
    bool Save(const std::filesystem::path& path) const;

    // The value of the key, without blanks around it or one pair of quotes around it; nothing
    // when the section or key is missing.
    std::optional<std::u16string> Value(std::u16string_view section, std::u16string_view key) const;

    // Replaces the key's line in place, or adds the key after the last entry of its section, or
    // adds the section at the end of the file. A value holds one line: text from its first line
    // break on is dropped.
    void SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value);

private:
    enum class EEncoding { Legacy, Utf8, Utf8WithMark, Utf16 };

    struct Line {
        std::u16string text; // without the line end
        std::string bytes; // the text as read; unused once the line is set
        std::string end; // the line end as read: carriage returns and a line feed, or less at the end
        bool set = false;
    };

    // The index of the section's header line, or nothing.
    std::optional<std::size_t> FindSection(std::u16string_view section) const;
    // The index of the key's line in the section starting at header, or nothing.
    std::optional<std::size_t> FindKey(std::size_t header, std::u16string_view key) const;
    // Adds a set line before index, first ending the line before it when that has no line feed.
    void InsertLine(std::size_t index, std::u16string text);
    // A line's bytes as text: by the file's mark, else UTF-8 or legacy as the line reads.
    std::u16string Decode(std::string_view bytes) const;
    std::string Encode(std::u16string_view text, EEncoding encoding) const;

    const ICodePage& m_codePage;
    EEncoding m_encoding = EEncoding::Legacy;
    std::string m_mark; // the byte-order mark as read
    std::vector<Line> m_lines;
    std::u16string m_lineEnd = u"\r\n";
};

} // namespace linlangok
