#pragma once

#include "common/CodePage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Conversions between the UTF-16 text the system holds and UTF-8, the encoding of standard
// output and of the exceptions' message texts. Invalid sequences become U+FFFD. File names, which
// need not be UTF-8, convert through FilePath.h.
namespace linlangok {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether the bytes form valid UTF-8 (overlong forms and surrogates are invalid).
bool IsValidUtf8(std::string_view bytes);

// The code point of the valid UTF-8 sequence at position i, advancing i past it; nothing, with i
// unchanged, when the bytes there are not valid UTF-8.
std::optional<char32_t> NextUtf8CodePoint(std::string_view utf8, std::size_t& i);

// Append a code point in UTF-16, and in UTF-8, where a surrogate becomes U+FFFD.
void AppendUtf16(std::u16string& utf16, char32_t codePoint);
void AppendUtf8(std::string& utf8, char32_t codePoint);

// Tells how text bytes of unknown encoding read: as UTF-8 when they are valid UTF-8 and hold a
// non-ASCII character, otherwise in the legacy code page. A text may be added in pieces cut at
// ASCII characters (its lines, say); the answer then covers all of them.
class CUtf8Detector {
public:
    void Add(std::string_view bytes);
    bool IsUtf8() const { return m_valid && m_nonAscii; }

private:
    bool m_valid = true;
    bool m_nonAscii = false;
};

// The bytes as UTF-8 or in the legacy code page, as CUtf8Detector tells.
std::u16string DecodeUtf8OrLegacy(std::string_view bytes, const ICodePage& codePage);

// The text in the legacy code page when DecodeUtf8OrLegacy reads those bytes back as the same
// text; nothing when the code page lacks one of its characters or the bytes would read as UTF-8.
std::optional<std::string> EncodeLegacyExactly(std::u16string_view text, const ICodePage& codePage);

// The code point at position i of UTF-16 text, advancing i past it: a surrogate pair gives its
// supplementary code point; a lone surrogate is returned as it is.
char32_t NextCodePoint(std::u16string_view utf16, std::size_t& i);

// The key and the value of a "key=value" line, each without the blanks (spaces, tabs, carriage
// returns) at its ends; nothing for a line without "=".
template <typename Char> struct KeyValueLine {
    std::basic_string_view<Char> key;
    std::basic_string_view<Char> value;
};
std::optional<KeyValueLine<char>> SplitKeyValueLine(std::string_view line);
std::optional<KeyValueLine<char16_t>> SplitKeyValueLine(std::u16string_view line);

// The value of a hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"), or -1 for another character.
int HexDigitValue(char32_t digit);

// The text without the given characters at either end.
std::u16string_view Trimmed(std::u16string_view text, std::u16string_view characters);
std::string_view Trimmed(std::string_view text, std::string_view characters);

} // namespace linlangok
