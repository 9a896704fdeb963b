#include "common/JsonReader.h"

#include "common/Text.h"

#include <charconv>

namespace linlangok {
namespace {

class CJsonParser {
public:
    explicit CJsonParser(std::string_view text)
        : m_text(text)
    {
    }

    std::optional<JsonValue> ParseDocument()
    {
        JsonValue value;
        if (!ParseValue(value, 0))
            return std::nullopt;
        SkipSpace();
        if (m_at != m_text.size())
            return std::nullopt;
        return value;
    }

private:
    void SkipSpace()
    {
        while (m_at < m_text.size()
            && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }

    bool Take(char expected)
    {
        SkipSpace();
        if (m_at < m_text.size() && m_text[m_at] == expected) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool TakeWord(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }

    bool ParseValue(JsonValue& value, size_t depth)
    {
        SkipSpace();
        if (m_at == m_text.size())
            return false;
        switch (m_text[m_at]) {
        case '{':
            value.type = JsonValue::EType::Object;
            return depth < kJsonMaximumDepth && ParseObject(value, depth + 1);
        case '[':
            value.type = JsonValue::EType::Array;
            return depth < kJsonMaximumDepth && ParseArray(value, depth + 1);
        case '"':
            value.type = JsonValue::EType::String;
            return ParseString(value.text);
        case 't':
        case 'f':
            value.type = JsonValue::EType::Bool;
            value.flag = m_text[m_at] == 't';
            return TakeWord(value.flag ? "true" : "false");
        case 'n':
            return TakeWord("null");
        default:
            value.type = JsonValue::EType::Number;
            return ParseNumber(value.number);
        }
    }

    bool ParseObject(JsonValue& value, size_t depth)
    {
        ++m_at;
        if (Take('}'))
            return true;
        do {
            std::string key;
            SkipSpace();
            if (m_at == m_text.size() || m_text[m_at] != '"' || !ParseString(key) || !Take(':'))
                return false;
            JsonValue member;
            if (!ParseValue(member, depth))
                return false;
            value.keys.push_back(std::move(key));
            value.items.push_back(std::move(member));
        } while (Take(','));
        return Take('}');
    }

    bool ParseArray(JsonValue& value, size_t depth)
    {
        ++m_at;
        if (Take(']'))
            return true;
        do {
            JsonValue item;
            if (!ParseValue(item, depth))
                return false;
            value.items.push_back(std::move(item));
        } while (Take(','));
        return Take(']');
    }

    // The grammar's number, checked before from_chars reads it (which takes more forms).
    bool ParseNumber(double& number)
    {
        const size_t start = m_at;
        auto digits = [this] {
            const size_t first = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9')
                ++m_at;
            return m_at - first;
        };
        if (m_at < m_text.size() && m_text[m_at] == '-')
            ++m_at;
        const size_t integerStart = m_at;
        const size_t integerDigits = digits();
        if (integerDigits == 0 || (integerDigits > 1 && m_text[integerStart] == '0'))
            return false;
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (digits() == 0)
                return false;
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-'))
                ++m_at;
            if (digits() == 0)
                return false;
        }
        const auto [end, error] = std::from_chars(m_text.data() + start, m_text.data() + m_at, number);
        return error == std::errc() && end == m_text.data() + m_at;
    }

    std::optional<char16_t> HexQuad()
    {
        if (m_text.size() - m_at < 4)
            return std::nullopt;
        unsigned value = 0;
        const auto [end, error] = std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, value, 16);
        if (error != std::errc() || end != m_text.data() + m_at + 4)
            return std::nullopt;
        m_at += 4;
        return static_cast<char16_t>(value);
    }

    bool ParseString(std::string& utf8)
    {
        ++m_at;
        std::u16string escaped; // a run of \u escapes, converted together so that pairs join
        auto flushEscaped = [&] {
            for (size_t i = 0; i < escaped.size(); ++i) {
                const char16_t unit = escaped[i];
                const bool high = unit >= 0xD800 && unit < 0xDC00;
                const bool low = unit >= 0xDC00 && unit < 0xE000;
                if (low || (high && (i + 1 == escaped.size() || escaped[i + 1] < 0xDC00 || escaped[i + 1] >= 0xE000)))
                    return false;
                if (high)
                    ++i;
            }
            utf8 += Utf16ToUtf8(escaped);
            escaped.clear();
            return true;
        };
        const size_t start = m_at;
        while (m_at < m_text.size()) {
            const char character = m_text[m_at];
            if (character == '"') {
                ++m_at;
                return flushEscaped() && IsValidUtf8(utf8) && IsValidUtf8(m_text.substr(start, m_at - start));
            }
            if (static_cast<unsigned char>(character) < 0x20)
                return false;
            ++m_at;
            if (character != '\\') {
                if (!flushEscaped())
                    return false;
                utf8 += character;
                continue;
            }
            if (m_at == m_text.size())
                return false;
            const char kind = m_text[m_at++];
            if (kind == 'u') {
                const std::optional<char16_t> unit = HexQuad();
                if (!unit)
                    return false;
                escaped += *unit;
                continue;
            }
            if (!flushEscaped())
                return false;
            switch (kind) {
            case '"':
            case '\\':
            case '/':
                utf8 += kind;
                break;
            case 'b':
                utf8 += '\b';
                break;
            case 'f':
                utf8 += '\f';
                break;
            case 'n':
                utf8 += '\n';
                break;
            case 'r':
                utf8 += '\r';
                break;
            case 't':
                utf8 += '\t';
                break;
            default:
                return false;
            }
        }
        return false;
    }

    std::string_view m_text;
    size_t m_at = 0;
};

} // namespace

const JsonValue* JsonValue::Find(std::string_view key) const
{
    for (size_t i = keys.size(); i-- > 0;) {
        if (keys[i] == key)
            return &items[i];
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text)
{
    return CJsonParser(text).ParseDocument();
}

} // namespace linlangok
