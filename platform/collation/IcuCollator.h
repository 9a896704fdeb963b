#pragma once

#include "common/TextCollator.h"

struct UCollator;

namespace linlangok {

// The collator over ICU: the Chinese (pinyin) collation with numbers compared by value, and the
// scripts in Unicode's own order, so that Latin names come before Chinese ones. Case decides only
// between names that are otherwise alike. Where ICU cannot open a collator, names are ordered by
// their code points. Any thread.
class CIcuCollator final : public ITextCollator {
public:
    CIcuCollator();
    ~CIcuCollator() override;

    CIcuCollator(const CIcuCollator&) = delete;
    CIcuCollator& operator=(const CIcuCollator&) = delete;

    std::string SortKey(std::u16string_view text) const override;

private:
    UCollator* m_collator = nullptr;
};

} // namespace linlangok
