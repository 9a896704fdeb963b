#include "common/Text.h"

#include <algorithm>
#include <cstdint>

namespace linlangok {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at position i; returns the code point or kReplacement and advances i.
char32_t DecodeUtf8(std::string_view utf8, size_t& i, bool& valid)
{
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        valid = false;
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            valid = false;
            return kReplacement;
        }
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        valid = false;
        return kReplacement;
    }
    return codePoint;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string result;
    result.reserve(utf8.size());
    bool valid = true;
    for (size_t i = 0; i < utf8.size();)
        AppendUtf16(result, DecodeUtf8(utf8, i, valid));
    return result;
}

void AppendUtf16(std::u16string& utf16, char32_t codePoint)
{
    if (codePoint >= 0x10000) {
        utf16.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
        utf16.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
    } else {
        utf16.push_back(static_cast<char16_t>(codePoint));
    }
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string result;
    result.reserve(utf16.size() * 3);
    for (size_t i = 0; i < utf16.size();)
        AppendUtf8(result, NextCodePoint(utf16, i));
    return result;
}

void AppendUtf8(std::string& utf8, char32_t codePoint)
{
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
        codePoint = kReplacement;
    if (codePoint < 0x80) {
        utf8.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        utf8.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        utf8.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        utf8.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        utf8.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        utf8.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        utf8.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

char32_t NextCodePoint(std::u16string_view utf16, std::size_t& i)
{
    const char32_t unit = utf16[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < utf16.size() && utf16[i] >= 0xDC00 && utf16[i] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (utf16[i++] - 0xDC00);
    return unit;
}

bool IsValidUtf8(std::string_view bytes)
{
    bool valid = true;
    for (size_t i = 0; i < bytes.size() && valid;)
        DecodeUtf8(bytes, i, valid);
    return valid;
}

std::optional<char32_t> NextUtf8CodePoint(std::string_view utf8, std::size_t& i)
{
    size_t next = i;
    bool valid = true;
    const char32_t codePoint = DecodeUtf8(utf8, next, valid);
    if (!valid)
        return std::nullopt;
    i = next;
    return codePoint;
}

void CUtf8Detector::Add(std::string_view bytes)
{
    m_nonAscii = m_nonAscii || std::any_of(bytes.begin(), bytes.end(), [](char byte) { return (byte & 0x80) != 0; });
    m_valid = m_valid && IsValidUtf8(bytes);
}

std::u16string DecodeUtf8OrLegacy(std::string_view bytes, const ICodePage& codePage)
{
    CUtf8Detector detector;
    detector.Add(bytes);
    return detector.IsUtf8() ? Utf8ToUtf16(bytes) : codePage.ToWide(bytes);
}

std::optional<std::string> EncodeLegacyExactly(std::u16string_view text, const ICodePage& codePage)
{
    std::string bytes = codePage.FromWide(text);
    if (DecodeUtf8OrLegacy(bytes, codePage) != text)
        return std::nullopt;
    return bytes;
}

int HexDigitValue(char32_t digit)
{
    if (digit >= U'0' && digit <= U'9')
        return static_cast<int>(digit - U'0');
    if (digit >= U'a' && digit <= U'f')
        return static_cast<int>(digit - U'a') + 10;
    if (digit >= U'A' && digit <= U'F')
        return static_cast<int>(digit - U'A') + 10;
    return -1;
}

namespace {

template <typename Char>
std::basic_string_view<Char> TrimmedText(std::basic_string_view<Char> text, std::basic_string_view<Char> characters)
{
    const size_t first = text.find_first_not_of(characters);
    if (first == std::basic_string_view<Char>::npos)
        return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

template <typename Char> std::optional<KeyValueLine<Char>> SplitKeyValue(std::basic_string_view<Char> line)
{
    static constexpr Char kBlanks[] = {Char(' '), Char('\t'), Char('\r'), Char(0)};
    const size_t equals = line.find(Char('='));
    if (equals == std::basic_string_view<Char>::npos)
        return std::nullopt;
    return KeyValueLine<Char> {
        TrimmedText<Char>(line.substr(0, equals), kBlanks), TrimmedText<Char>(line.substr(equals + 1), kBlanks)};
}

} // namespace

std::optional<KeyValueLine<char>> SplitKeyValueLine(std::string_view line)
{
    return SplitKeyValue(line);
}

std::optional<KeyValueLine<char16_t>> SplitKeyValueLine(std::u16string_view line)
{
    return SplitKeyValue(line);
}

std::u16string_view Trimmed(std::u16string_view text, std::u16string_view characters)
{
    return TrimmedText(text, characters);
}

std::string_view Trimmed(std::string_view text, std::string_view characters)
{
    return TrimmedText(text, characters);
}

} // namespace linlangok

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer builds: libraries that are not built with it cannot show it their
// synchronisation — FluidSynth loads SoundFont samples on OpenMP threads (libgomp) and opens them
// through libinstpatch's GLib locks; Qt scales and draws images on its own threads; FFmpeg's
// decoders hand pictures between their frame threads through atomics of their own; FluidSynth
// shares its sample cache between synthesizers under GLib's futex locks; libdbus and Qt's D-Bus
// module guard a connection with locks of their own. Defined here
// because every program links this file.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libgomp.so.1\n"
           "called_from_lib:libinstpatch-1.0.so.2\n"
           "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "race:libavcodec.so\n"
           "race:libavutil.so\n"
           "race:libfluidsynth.so\n"
           "race:libdbus-1.so.3\n"
           "race:libQt6DBus.so.6\n"
           "deadlock:libdbus-1.so.3\n";
}
#endif
