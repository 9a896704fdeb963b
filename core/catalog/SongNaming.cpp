#include "core/catalog/SongNaming.h"

#include "common/Text.h"

namespace linlangok {
namespace {

constexpr std::u16string_view kBlanks = u" \t\u3000_";

bool IsDigit(char16_t character)
{
    return character >= u'0' && character <= u'9';
}

std::u16string_view Trim(std::u16string_view text)
{
    return Trimmed(text, kBlanks);
}

// The name without a leading track number of one to three digits and its separator.
std::u16string_view DropTrackNumber(std::u16string_view name)
{
    size_t digits = 0;
    while (digits < name.size() && IsDigit(name[digits]))
        ++digits;
    if (digits == 0 || digits > 3 || digits == name.size())
        return name;
    size_t rest = digits;
    while (rest < name.size()
        && (name[rest] == u'.' || name[rest] == u'-' || kBlanks.find(name[rest]) != std::u16string_view::npos))
        ++rest;
    // "1984" or "100首" keep their numbers: only a separated number is a track number.
    if (rest == digits || rest == name.size())
        return name;
    return name.substr(rest);
}

} // namespace

SongName ParseSongFileName(std::u16string_view stem)
{
    const std::u16string_view name = Trim(DropTrackNumber(Trim(stem)));
    for (const std::u16string_view dash : {u" - ", u"－", u" – "}) {
        const size_t at = name.find(dash);
        if (at != std::u16string_view::npos && at > 0) {
            const std::u16string_view title = Trim(name.substr(at + dash.size()));
            if (!title.empty())
                return {std::u16string(title), std::u16string(Trim(name.substr(0, at)))};
        }
    }
    for (const auto& [open, close] : {std::pair {u'(', u')'}, std::pair {u'（', u'）'}}) {
        if (name.empty() || name.back() != close)
            continue;
        const size_t at = name.rfind(open);
        if (at == std::u16string_view::npos || at == 0)
            continue;
        const std::u16string_view singer = Trim(name.substr(at + 1, name.size() - at - 2));
        if (!singer.empty())
            return {std::u16string(Trim(name.substr(0, at))), std::u16string(singer)};
    }
    return {std::u16string(name), {}};
}

std::string GuessLanguage(std::u16string_view title, std::u16string_view singer)
{
    bool han = false;
    bool hangul = false;
    bool latin = false;
    for (const std::u16string_view text : {title, singer}) {
        for (size_t i = 0; i < text.size();) {
            const char32_t character = NextCodePoint(text, i);
            if ((character >= 0x3040 && character <= 0x30FF) || (character >= 0x31F0 && character <= 0x31FF))
                return "ja";
            if (character >= 0xAC00 && character <= 0xD7AF)
                hangul = true;
            else if ((character >= 0x4E00 && character <= 0x9FFF) || (character >= 0x3400 && character <= 0x4DBF))
                han = true;
            else if ((character >= u'a' && character <= u'z') || (character >= u'A' && character <= u'Z'))
                latin = true;
        }
    }
    return hangul ? "ko" : han ? "zh" : latin ? "en" : "";
}

} // namespace linlangok
