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

std::u16string Formatted(std::u16string_view pattern, std::initializer_list<std::u16string_view> arguments)
{
    const std::vector<std::u16string_view> values(arguments);
    std::u16string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - u'1');
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

} // namespace linlangok
