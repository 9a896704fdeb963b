#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// One parsed JSON value. Strings are UTF-8; numbers are doubles.
struct JsonValue {
    enum class EType { Null, Bool, Number, String, Array, Object };

    EType type = EType::Null;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items; // an array's items, or an object's values in the text's order
    std::vector<std::string> keys; // an object's keys, one for each item

    // The member of an object with that key (the last one when it repeats); null for none or
    // when this is not an object.
    const JsonValue* Find(std::string_view key) const;
};

inline constexpr size_t kJsonMaximumDepth = 32;

// Parses a whole text as one JSON value (RFC 8259; whitespace around it is allowed). Nothing
// for anything else: bad syntax, invalid UTF-8, a lone surrogate escape, nesting deeper than
// kJsonMaximumDepth, or text after the value.
std::optional<JsonValue> ParseJson(std::string_view text);

} // namespace linlangok
