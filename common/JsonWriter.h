#pragma once

#include <charconv>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// Writes one JSON value to a stream, compactly, in UTF-8. Keys and values are written in call
// order; the writer adds the commas.
class CJsonWriter {
public:
    explicit CJsonWriter(std::ostream& out);

    CJsonWriter& BeginObject();
    CJsonWriter& EndObject();
    CJsonWriter& BeginArray();
    CJsonWriter& EndArray();
    CJsonWriter& Key(std::string_view key);

    CJsonWriter& Value(std::string_view utf8);
    // A lone surrogate, as a path's escaped byte is (FilePath.h), is written as its escape: byte
    // 0xD6 as \udcd6.
    CJsonWriter& Value(std::u16string_view text);
    CJsonWriter& Value(const char* utf8) { return Value(std::string_view(utf8)); }
    CJsonWriter& Value(long long number);
    CJsonWriter& Value(int number) { return Value(static_cast<long long>(number)); }
    CJsonWriter& Value(unsigned number) { return Value(static_cast<long long>(number)); }
    CJsonWriter& Value(double number);
    // The number with that many decimals.
    CJsonWriter& Value(double number, int decimals);
    CJsonWriter& Value(bool flag);
    CJsonWriter& Null();

private:
    void Separate();
    // A printf format with a precision, then the number.
    CJsonWriter& Number(double number, std::chars_format format, int precision);
    void WriteString(std::string_view utf8);
    void WriteStringContent(std::string_view utf8);

    std::ostream& m_out;
    std::vector<bool> m_hasItems; // one per open object or array
    bool m_afterKey = false;
};

} // namespace linlangok
