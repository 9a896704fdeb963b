#include "common/Translation.h"

#include "common/Text.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace linlangok {
namespace {

std::atomic<TranslationLookup> g_lookup {nullptr};
std::mutex g_languageMutex;
std::string g_language = kSourceLanguage;

// "zh-Hant-TW" and "zh_TW" alike, lower-cased, in parts.
std::vector<std::string> LocaleParts(std::string_view locale)
{
    std::vector<std::string> parts(1);
    for (const char c : locale) {
        if (c == '-' || c == '_')
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return parts;
}

} // namespace

std::string ChosenLanguage(std::string_view choice, const std::vector<std::string>& uiLanguages)
{
    for (const Language& language : kLanguages) {
        if (choice == language.code)
            return language.code;
    }
    for (const std::string& locale : uiLanguages) {
        const std::vector<std::string> parts = LocaleParts(locale);
        const auto has
            = [&parts](const char* part) { return std::find(parts.begin() + 1, parts.end(), part) != parts.end(); };
        if (parts.front() == "en")
            return "en";
        if (parts.front() != "zh")
            continue;
        if (has("hk") || has("mo"))
            return "zh_HK";
        if (has("tw") || has("hant"))
            return "zh_TW";
        return kSourceLanguage;
    }
    return "en";
}

void InstallTranslationLookup(TranslationLookup lookup, std::string_view language)
{
    const std::lock_guard lock(g_languageMutex);
    g_language = lookup ? std::string(language) : std::string(kSourceLanguage);
    g_lookup.store(lookup, std::memory_order_release);
}

std::string CurrentLanguage()
{
    const std::lock_guard lock(g_languageMutex);
    return g_language;
}

std::string TrUtf8(const char* context, const char* sourceText)
{
    if (const TranslationLookup lookup = g_lookup.load(std::memory_order_acquire)) {
        std::string translation = lookup(context, sourceText);
        if (!translation.empty())
            return translation;
    }
    return sourceText;
}

std::u16string Tr(const char* context, const char* sourceText)
{
    return Utf8ToUtf16(TrUtf8(context, sourceText));
}

namespace {

template <typename Char>
std::basic_string<Char> FormattedText(
    std::basic_string_view<Char> pattern, std::initializer_list<std::basic_string_view<Char>> arguments)
{
    const std::vector<std::basic_string_view<Char>> values(arguments);
    std::basic_string<Char> text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == Char('%') && i + 1 < pattern.size() && pattern[i + 1] >= Char('1')
            && pattern[i + 1] <= Char('9')) {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - Char('1'));
            if (index < values.size()) {
                text += values[index];
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

} // namespace

std::u16string Formatted(std::u16string_view pattern, std::initializer_list<std::u16string_view> arguments)
{
    return FormattedText(pattern, arguments);
}

std::string FormattedUtf8(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    return FormattedText(pattern, arguments);
}

} // namespace linlangok
