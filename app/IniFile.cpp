#include "app/IniFile.h"

#include "common/AtomicFile.h"
#include "common/Text.h"

#include <fstream>
#include <iterator>

namespace linlangok {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::u16string_view TrimBlanks(std::u16string_view text)
{
    const std::size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The name of a "[SECTION]" line, or nothing for other lines.
std::optional<std::u16string_view> SectionName(std::u16string_view line)
{
    const std::u16string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() != u'[')
        return std::nullopt;
    const std::u16string_view inside = trimmed.substr(1);
    return TrimBlanks(inside.substr(0, inside.find(u']')));
}

struct KeyLine {
    std::u16string_view key;
    std::u16string_view value;
};

// The key and value of a "KEY=value" line, or nothing for other lines (sections, comments).
std::optional<KeyLine> SplitKeyLine(std::u16string_view line)
{
    const std::u16string_view trimmed = TrimBlanks(line);
    const std::size_t equals = trimmed.find(u'=');
    if (trimmed.empty() || trimmed.front() == u'[' || trimmed.front() == u';' || equals == std::u16string_view::npos)
        return std::nullopt;
    return KeyLine {TrimBlanks(trimmed.substr(0, equals)), TrimBlanks(trimmed.substr(equals + 1))};
}

int HexDigit(char16_t character)
{
    if (character >= u'0' && character <= u'9')
        return character - u'0';
    if (character >= u'A' && character <= u'F')
        return character - u'A' + 10;
    if (character >= u'a' && character <= u'f')
        return character - u'a' + 10;
    return -1;
}

void AppendHexByte(std::u16string& text, std::uint8_t byte)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
}

} // namespace

std::u16string EncodeProfileStruct(std::span<const std::uint8_t> bytes)
{
    std::u16string text;
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        AppendHexByte(text, byte);
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    AppendHexByte(text, sum);
    return text;
}

std::optional<std::vector<std::uint8_t>> DecodeProfileStruct(std::u16string_view text, std::size_t size)
{
    if (text.size() != 2 * (size + 1))
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    const std::uint8_t checksum = bytes.back();
    bytes.pop_back();
    for (const std::uint8_t byte : bytes)
        sum = static_cast<std::uint8_t>(sum + byte);
    if (sum != checksum)
        return std::nullopt;
    return bytes;
}

CIniFile::CIniFile(const ICodePage& codePage)
    : m_codePage(codePage)
{
}

CIniFile CIniFile::Parse(std::string_view bytes, const ICodePage& codePage)
{
    CIniFile file(codePage);
    std::u16string text;
    if (bytes.starts_with(kUtf16Mark)) {
        file.m_encoding = EEncoding::Utf16;
        bytes.remove_prefix(kUtf16Mark.size());
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(
                static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
    } else if (bytes.starts_with(kUtf8Mark)) {
        file.m_encoding = EEncoding::Utf8WithMark;
        text = Utf8ToUtf16(bytes.substr(kUtf8Mark.size()));
    } else if (IsValidUtf8(bytes)) {
        file.m_encoding = EEncoding::Utf8;
        text = Utf8ToUtf16(bytes);
    } else {
        file.m_encoding = EEncoding::Legacy;
        text = codePage.ToWide(bytes);
    }

    const std::size_t firstBreak = text.find(u'\n');
    if (firstBreak != std::u16string::npos)
        file.m_lineEnd = firstBreak > 0 && text[firstBreak - 1] == u'\r' ? u"\r\n" : u"\n";
    std::u16string_view rest = text;
    while (!rest.empty()) {
        const std::size_t lineBreak = rest.find(u'\n');
        std::u16string_view line = rest.substr(0, lineBreak);
        while (line.ends_with(u'\r'))
            line.remove_suffix(1);
        file.m_lines.emplace_back(line);
        rest.remove_prefix(lineBreak == std::u16string_view::npos ? rest.size() : lineBreak + 1);
    }
    return file;
}

CIniFile CIniFile::Load(const std::filesystem::path& path, const ICodePage& codePage)
{
    std::ifstream in(path, std::ios::binary);
    return Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), codePage);
}

std::string CIniFile::Serialize() const
{
    std::u16string text;
    for (const auto& line : m_lines)
        text += line + m_lineEnd;
    switch (m_encoding) {
    case EEncoding::Legacy:
        if (std::string bytes = m_codePage.FromWide(text); m_codePage.ToWide(bytes) == text)
            return bytes;
        break;
    case EEncoding::Utf8WithMark:
        return std::string(kUtf8Mark) + Utf16ToUtf8(text);
    case EEncoding::Utf16: {
        std::string bytes(kUtf16Mark);
        for (const char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    }
    case EEncoding::Utf8:
        break;
    }
    return Utf16ToUtf8(text);
}

bool CIniFile::Save(const std::filesystem::path& path) const
{
    return WriteFileAtomically(path, Serialize());
}

std::optional<std::size_t> CIniFile::FindSection(std::u16string_view section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const auto name = SectionName(m_lines[i]); name && EqualIgnoringCase(*name, section))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> CIniFile::FindKey(std::size_t header, std::u16string_view key) const
{
    for (std::size_t i = header + 1; i < m_lines.size() && !SectionName(m_lines[i]); ++i) {
        if (const auto entry = SplitKeyLine(m_lines[i]); entry && EqualIgnoringCase(entry->key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::u16string> CIniFile::Value(std::u16string_view section, std::u16string_view key) const
{
    const auto header = FindSection(section);
    const auto line = header ? FindKey(*header, key) : std::nullopt;
    if (!line)
        return std::nullopt;
    std::u16string_view value = SplitKeyLine(m_lines[*line])->value;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::u16string(value);
}

void CIniFile::SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value)
{
    std::u16string line = std::u16string(key) + u"=" + std::u16string(value.substr(0, value.find_first_of(u"\r\n")));
    const auto header = FindSection(section);
    if (!header) {
        m_lines.push_back(u"[" + std::u16string(section) + u"]");
        m_lines.push_back(std::move(line));
        return;
    }
    if (const auto existing = FindKey(*header, key)) {
        m_lines[*existing] = std::move(line);
        return;
    }
    // After the section's last non-blank line, before the blank lines that separate it.
    std::size_t end = *header + 1;
    for (std::size_t i = *header + 1; i < m_lines.size() && !SectionName(m_lines[i]); ++i) {
        if (!TrimBlanks(m_lines[i]).empty())
            end = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
}

} // namespace linlangok
