#include "common/JsonWriter.h"

#include "common/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace linlangok {

CJsonWriter::CJsonWriter(std::ostream& out)
    : m_out(out)
{
}

void CJsonWriter::Separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasItems.empty()) {
        if (m_hasItems.back())
            m_out << ',';
        m_hasItems.back() = true;
    }
}

CJsonWriter& CJsonWriter::BeginObject()
{
    Separate();
    m_out << '{';
    m_hasItems.push_back(false);
    return *this;
}

CJsonWriter& CJsonWriter::EndObject()
{
    m_out << '}';
    m_hasItems.pop_back();
    return *this;
}

CJsonWriter& CJsonWriter::BeginArray()
{
    Separate();
    m_out << '[';
    m_hasItems.push_back(false);
    return *this;
}

CJsonWriter& CJsonWriter::EndArray()
{
    m_out << ']';
    m_hasItems.pop_back();
    return *this;
}

CJsonWriter& CJsonWriter::Key(std::string_view key)
{
    Separate();
    WriteString(key);
    m_out << ':';
    m_afterKey = true;
    return *this;
}

CJsonWriter& CJsonWriter::Value(std::string_view utf8)
{
    Separate();
    WriteString(utf8);
    return *this;
}

CJsonWriter& CJsonWriter::Value(std::u16string_view text)
{
    Separate();
    // A lone surrogate (a path's escaped byte) is written as its escape, which JSON's grammar
    // allows, so that a reader can take the path's bytes back.
    std::string utf8;
    m_out << '"';
    for (size_t i = 0; i < text.size();) {
        const char32_t codePoint = NextCodePoint(text, i);
        if (codePoint < 0xD800 || codePoint > 0xDFFF) {
            AppendUtf8(utf8, codePoint);
            continue;
        }
        WriteStringContent(utf8);
        utf8.clear();
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
        m_out << escape;
    }
    WriteStringContent(utf8);
    m_out << '"';
    return *this;
}

CJsonWriter& CJsonWriter::Value(long long number)
{
    Separate();
    m_out << number;
    return *this;
}

CJsonWriter& CJsonWriter::Value(double number)
{
    return Number(number, std::chars_format::general, 17);
}

CJsonWriter& CJsonWriter::Value(double number, int decimals)
{
    return Number(number, std::chars_format::fixed, decimals);
}

// std::to_chars, unlike printf, writes a point whatever the C locale (which QCoreApplication sets
// from the environment), and the buffer holds the longest fixed form of a double.
CJsonWriter& CJsonWriter::Number(double number, std::chars_format format, int precision)
{
    Separate();
    if (!std::isfinite(number)) {
        m_out << "null";
        return *this;
    }
    char buffer[512];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, number, format, precision);
    m_out << std::string_view(buffer, written.ec == std::errc() ? written.ptr - buffer : 0);
    return *this;
}

CJsonWriter& CJsonWriter::Value(bool flag)
{
    Separate();
    m_out << (flag ? "true" : "false");
    return *this;
}

CJsonWriter& CJsonWriter::Null()
{
    Separate();
    m_out << "null";
    return *this;
}

void CJsonWriter::WriteString(std::string_view utf8)
{
    m_out << '"';
    WriteStringContent(utf8);
    m_out << '"';
}

void CJsonWriter::WriteStringContent(std::string_view utf8)
{
    for (const char character : utf8) {
        const auto byte = static_cast<unsigned char>(character);
        switch (character) {
        case '"':
            m_out << "\\\"";
            break;
        case '\\':
            m_out << "\\\\";
            break;
        case '\n':
            m_out << "\\n";
            break;
        case '\r':
            m_out << "\\r";
            break;
        case '\t':
            m_out << "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                m_out << escape;
            } else {
                m_out << character;
            }
        }
    }
}

} // namespace linlangok
