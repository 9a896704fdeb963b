#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The order in which names are shown: as people read them, numbers by their value, Latin letters
// without regard to case, Chinese by pinyin. Each program's main makes one collator and hands it
// to what sorts names.
namespace linlangok {

class ITextCollator {
public:
    virtual ~ITextCollator() = default;

    // The key that places the text among others: keys compare as byte strings. Never throws.
    virtual std::string SortKey(std::u16string_view text) const = 0;
};

// Sorts the items by their names (nameOf(item) gives a std::u16string_view or a string that
// converts to one) in the collator's order; items whose names collate alike keep their order.
template <typename Item, typename NameOf>
void SortByName(std::vector<Item>& items, const ITextCollator& collator, NameOf nameOf)
{
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(items.size());
    for (std::size_t index = 0; index < items.size(); ++index)
        keys.emplace_back(collator.SortKey(nameOf(items[index])), index);
    std::sort(keys.begin(), keys.end());
    std::vector<Item> sorted;
    sorted.reserve(items.size());
    for (const auto& [key, index] : keys)
        sorted.push_back(std::move(items[index]));
    items = std::move(sorted);
}

} // namespace linlangok
