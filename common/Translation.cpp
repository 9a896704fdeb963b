#include "common/Translation.h"

#include "common/Text.h"

#include <atomic>
#include <vector>

namespace linlangok {
namespace {

std::atomic<TranslationLookup> g_lookup {nullptr};

} // namespace

void InstallTranslationLookup(TranslationLookup lookup)
{
    g_lookup.store(lookup, std::memory_order_release);
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
