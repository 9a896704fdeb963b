#include "common/EditText.h"

#include "common/Number.h"

#include <algorithm>

namespace linlangok {

std::optional<std::int32_t> ParseSignedNumber(std::u16string_view text)
{
    const size_t start = std::min(text.find_first_not_of(u" \t"), text.size());
    std::string ascii;
    for (const char16_t character : text.substr(start)) {
        if (character > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(character);
    }
    return ParseNumber<std::int32_t>(ascii);
}

std::u16string FileNamePart(std::u16string_view path)
{
    const size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

} // namespace linlangok
