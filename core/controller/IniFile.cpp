#include "core/controller/IniFile.h"

#include "common/CodePage.h"
#include "common/FileSaver.h"
#include "common/RegularFile.h"
#include "common/Text.h"

#include <algorithm>

namespace linlangok {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::u16string_view TrimBlanks(std::u16string_view text)
{
    return Trimmed(text, u" \t");
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

// The key and value of a "KEY=value" line, or nothing for other lines (sections, comments).
std::optional<KeyValueLine<char16_t>> SplitKeyLine(std::u16string_view line)
{
    const std::u16string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == u'[' || trimmed.front() == u';')
        return std::nullopt;
    return SplitKeyValueLine(trimmed);
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
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
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
    if (bytes.starts_with(kUtf16Mark)) {
        file.m_encoding = EEncoding::Utf16;
        file.m_mark = kUtf16Mark;
    } else if (bytes.starts_with(kUtf8Mark)) {
        file.m_encoding = EEncoding::Utf8WithMark;
        file.m_mark = kUtf8Mark;
    } else {
        CUtf8Detector detector;
        detector.Add(bytes);
        file.m_encoding = detector.IsUtf8() ? EEncoding::Utf8 : EEncoding::Legacy;
    }
    bytes.remove_prefix(file.m_mark.size());

    const std::size_t unitBytes = file.m_encoding == EEncoding::Utf16 ? 2 : 1;
    const auto isUnit = [&](std::size_t offset, char character) {
        return bytes[offset] == character && (unitBytes == 1 || bytes[offset + 1] == '\0');
    };
    bool lineEndFound = false;
    while (!bytes.empty()) {
        std::size_t lineFeed = 0;
        while (lineFeed + unitBytes <= bytes.size() && !isUnit(lineFeed, '\n'))
            lineFeed += unitBytes;
        if (lineFeed + unitBytes > bytes.size())
            lineFeed = bytes.size();
        const std::size_t next = std::min(lineFeed + unitBytes, bytes.size());
        std::size_t textEnd = lineFeed;
        while (textEnd >= unitBytes && textEnd % unitBytes == 0 && isUnit(textEnd - unitBytes, '\r'))
            textEnd -= unitBytes;

        Line line;
        line.bytes = bytes.substr(0, textEnd);
        line.end = bytes.substr(textEnd, next - textEnd);
        line.text = file.Decode(line.bytes);
        if (!lineEndFound && next > lineFeed) {
            lineEndFound = true;
            file.m_lineEnd = textEnd < lineFeed ? u"\r\n" : u"\n";
        }
        file.m_lines.push_back(std::move(line));
        bytes.remove_prefix(next);
    }
    return file;
}

std::optional<CIniFile> CIniFile::Load(const std::filesystem::path& path, const ICodePage& codePage)
{
    const FileContent content = ReadRegularFile(path, kMaximumIniFileBytes);
    if (content.result == EFileRead::Missing)
        return CIniFile(codePage);
    if (content.result != EFileRead::Done)
        return std::nullopt;
    return Parse(content.bytes, codePage);
}

std::u16string CIniFile::Decode(std::string_view bytes) const
{
    switch (m_encoding) {
    case EEncoding::Utf16: {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(
                static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
        return text;
    }
    case EEncoding::Utf8WithMark:
        return Utf8ToUtf16(bytes);
    case EEncoding::Utf8:
    case EEncoding::Legacy:
        break;
    }
    return DecodeUtf8OrLegacy(bytes, m_codePage);
}

std::string CIniFile::Encode(std::u16string_view text, EEncoding encoding) const
{
    switch (encoding) {
    case EEncoding::Legacy:
        return m_codePage.FromWide(text);
    case EEncoding::Utf16: {
        std::string bytes;
        for (const char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    }
    case EEncoding::Utf8:
    case EEncoding::Utf8WithMark:
        break;
    }
    return Utf16ToUtf8(text);
}

std::string CIniFile::Serialize() const
{
    EEncoding setEncoding = m_encoding;
    if (m_encoding == EEncoding::Legacy && std::any_of(m_lines.begin(), m_lines.end(), [&](const Line& line) {
            return line.set && !EncodeLegacyExactly(line.text, m_codePage);
        }))
        setEncoding = EEncoding::Utf8;
    std::string bytes = m_mark;
    for (const auto& line : m_lines)
        bytes += (line.set ? Encode(line.text, setEncoding) : line.bytes) + line.end;
    return bytes;
}

bool CIniFile::Save(const std::filesystem::path& path) const
{
    return SaveFile(path, Serialize());
}

std::optional<std::size_t> CIniFile::FindSection(std::u16string_view section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const auto name = SectionName(m_lines[i].text); name && EqualIgnoringCase(*name, section))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> CIniFile::FindKey(std::size_t header, std::u16string_view key) const
{
    for (std::size_t i = header + 1; i < m_lines.size() && !SectionName(m_lines[i].text); ++i) {
        if (const auto entry = SplitKeyLine(m_lines[i].text); entry && EqualIgnoringCase(entry->key, key))
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
    std::u16string_view value = SplitKeyLine(m_lines[*line].text)->value;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::u16string(value);
}

void CIniFile::InsertLine(std::size_t index, std::u16string text)
{
    if (index > 0) {
        Line& before = m_lines[index - 1];
        // A UTF-16 file cut after an odd byte gets its last unit completed.
        if (m_encoding == EEncoding::Utf16 && before.end.empty() && before.bytes.size() % 2 != 0)
            before.bytes.push_back('\0');
        if (before.end.find('\n') == std::string::npos)
            before.end += Encode(before.end.empty() ? std::u16string_view(m_lineEnd) : u"\n", m_encoding);
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(index),
        Line {std::move(text), {}, Encode(m_lineEnd, m_encoding), true});
}

void CIniFile::SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value)
{
    std::u16string line = std::u16string(key) + u"=" + std::u16string(value.substr(0, value.find_first_of(u"\r\n")));
    const auto header = FindSection(section);
    if (!header) {
        InsertLine(m_lines.size(), u"[" + std::u16string(section) + u"]");
        InsertLine(m_lines.size(), std::move(line));
        return;
    }
    if (const auto existing = FindKey(*header, key)) {
        m_lines[*existing].text = std::move(line);
        m_lines[*existing].set = true;
        return;
    }
    // After the section's last non-blank line, before the blank lines that separate it.
    std::size_t end = *header + 1;
    for (std::size_t i = *header + 1; i < m_lines.size() && !SectionName(m_lines[i].text); ++i) {
        if (!TrimBlanks(m_lines[i].text).empty())
            end = i + 1;
    }
    InsertLine(end, std::move(line));
}

} // namespace linlangok
