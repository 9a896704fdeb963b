#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Conversions between the UTF-16 text the system holds and UTF-8, the encoding of file names,
// of standard output and of the exceptions' message texts. Invalid sequences become U+FFFD.
namespace linlangok {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether the bytes form valid UTF-8 (overlong forms and surrogates are invalid).
bool IsValidUtf8(std::string_view bytes);

// The code point at position i of UTF-16 text, advancing i past it: a surrogate pair gives its
// supplementary code point; a lone surrogate is returned as it is.
char32_t NextCodePoint(std::u16string_view utf16, std::size_t& i);

// File-system paths (UTF-8 here) as wide text and back; invalid bytes become U+FFFD.
std::u16string PathToUtf16(const std::filesystem::path& path);
std::filesystem::path Utf16ToPath(std::u16string_view text);

// Removes the given characters from both ends of the text.
std::u16string TrimBoth(std::u16string_view text, std::u16string_view characters);

} // namespace linlangok
