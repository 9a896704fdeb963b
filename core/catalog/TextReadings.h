#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the catalogue asks of a text library: folding for comparison and the readings of Han
// characters. Implementations are called from the scanning thread and the UI thread at once.
namespace linlangok {

class ITextFolding {
public:
    virtual ~ITextFolding() = default;
    // The text as compared: traditional characters in their simplified form, Latin letters in
    // lower case without accents, full-width forms in their ASCII form.
    virtual std::u16string Fold(std::u16string_view text) = 0;
};

class IPinyin {
public:
    virtual ~IPinyin() = default;
    // The toneless lower-case pinyin syllables of a Han character, its most common reading
    // first; empty for a character that is not Han.
    virtual std::vector<std::string> Readings(char32_t character) = 0;
};

} // namespace linlangok
