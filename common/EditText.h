#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the text of an edit or a path reads.
namespace linlangok {

// A signed decimal number as an edit reads it: optional blanks, an optional "-", then digits only.
// Nothing for anything else, or a value outside the 32-bit range.
std::optional<std::int32_t> ParseSignedNumber(std::u16string_view text);

// The file-name part of a path: the text after its last "/" (the whole path without one).
std::u16string FileNamePart(std::u16string_view path);

} // namespace linlangok
