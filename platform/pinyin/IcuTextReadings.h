#pragma once

#include "core/catalog/TextReadings.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Transliterator;
U_NAMESPACE_END

namespace linlangok {

// Folding and pinyin through ICU: the Traditional-Simplified transform with accents removed and
// Latin in lower case; the Han-Latin transform, toneless, for pinyin, with a table of the
// polyphones and surnames that matter for song titles and names, which lists every common
// reading of those characters (most common first). A reading with ü is given with "v" and "u".
// Each character is transformed once and kept; safe to call from several threads. The transforms
// are built at their first use, as building them takes a tenth of a second (the pinyin one most).
class CIcuTextReadings final : public ITextFolding, public IPinyin {
public:
    // Raises std::runtime_error when ICU lacks the transforms; builds none of them yet.
    CIcuTextReadings();
    ~CIcuTextReadings() override;

    std::u16string Fold(std::u16string_view text) override;
    std::vector<std::string> Readings(char32_t character) override;

private:
    std::u16string FoldCharacter(char32_t character);

    std::mutex m_mutex;
    std::unique_ptr<icu::Transliterator> m_folding;
    std::unique_ptr<icu::Transliterator> m_pinyin;
    std::unique_ptr<icu::Transliterator> m_toneless;
    std::unordered_map<char32_t, std::u16string> m_folded;
    std::unordered_map<char32_t, std::vector<std::string>> m_readings;
};

// The table's readings of a character; empty when it is not in the table.
std::vector<std::string> PolyphoneReadings(char32_t character);

} // namespace linlangok
