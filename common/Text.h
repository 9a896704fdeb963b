#pragma once

#include "common/CodePage.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Conversions between the UTF-16 text the system holds and UTF-8, the encoding of file names,
// of standard output and of the exceptions' message texts. Invalid sequences become U+FFFD.
namespace linlangok {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether the bytes form valid UTF-8 (overlong forms and surrogates are invalid).
bool IsValidUtf8(std::string_view bytes);

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

// File-system paths (UTF-8 here) as wide text and back; invalid bytes become U+FFFD.
std::u16string PathToUtf16(const std::filesystem::path& path);
std::filesystem::path Utf16ToPath(std::u16string_view text);

// Removes the given characters from both ends of the text.
std::u16string TrimBoth(std::u16string_view text, std::u16string_view characters);

} // namespace linlangok
