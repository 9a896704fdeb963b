// The JSON reader on arbitrary bytes (the phones' request bodies): no crash, no deeper nesting
// than its bound, and whatever it accepts holds valid UTF-8 alone and writes back to a text that
// reads as the same value.
#include "common/JsonReader.h"
#include "common/JsonWriter.h"
#include "common/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace {

void Write(linlangok::CJsonWriter& json, const linlangok::JsonValue& value, std::size_t depth)
{
    using EType = linlangok::JsonValue::EType;
    if (depth > linlangok::kJsonMaximumDepth || !linlangok::IsValidUtf8(value.text))
        std::abort();
    switch (value.type) {
    case EType::Null:
        json.Null();
        break;
    case EType::Bool:
        json.Value(value.flag);
        break;
    case EType::Number:
        json.Value(value.number);
        break;
    case EType::String:
        json.Value(std::string_view(value.text));
        break;
    case EType::Array:
        json.BeginArray();
        for (const linlangok::JsonValue& item : value.items)
            Write(json, item, depth + 1);
        json.EndArray();
        break;
    case EType::Object:
        json.BeginObject();
        for (std::size_t i = 0; i < value.keys.size(); ++i) {
            if (!linlangok::IsValidUtf8(value.keys[i]))
                std::abort();
            json.Key(value.keys[i]);
            Write(json, value.items[i], depth + 1);
        }
        json.EndObject();
        break;
    }
}

std::string Text(const linlangok::JsonValue& value)
{
    std::ostringstream out;
    linlangok::CJsonWriter json(out);
    Write(json, value, 0);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto value = linlangok::ParseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value)
        return 0;
    const std::string written = Text(*value);
    const auto again = linlangok::ParseJson(written);
    if (!again || Text(*again) != written)
        std::abort();
    return 0;
}
