#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace linlangok {

// A number that is the whole text, whatever the locale: an optional "-", then digits in the base
// (for a floating-point type a decimal, "1.5e3" too). Nothing for an empty text, a "+", anything
// else after the number, or a value outside the type's range.
template <typename Number> std::optional<Number> ParseNumber(std::string_view text, int base = 10)
{
    Number value {};
    const char* end = text.data() + text.size();
    const auto [last, error] = [&] {
        if constexpr (std::is_floating_point_v<Number>)
            return std::from_chars(text.data(), end, value);
        else
            return std::from_chars(text.data(), end, value, base);
    }();
    if (text.empty() || error != std::errc() || last != end || text.front() == '+')
        return std::nullopt;
    return value;
}

} // namespace linlangok
