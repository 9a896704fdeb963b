#include "platform/collation/IcuCollator.h"

#include "common/Text.h"

#include <unicode/ucol.h>

namespace linlangok {
namespace {

// Longer texts are no names; they are ordered by code points.
constexpr size_t kMaximumCollatedLength = 64 * 1024;

} // namespace

CIcuCollator::CIcuCollator()
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open("zh", &status);
    if (U_FAILURE(status)) {
        ucol_close(m_collator);
        m_collator = nullptr;
        return;
    }
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    // The Chinese collation puts Han before Latin; no reordering keeps the root order.
    const std::int32_t rootOrder[] = {UCOL_REORDER_CODE_NONE};
    ucol_setReorderCodes(m_collator, rootOrder, 1, &status);
}

CIcuCollator::~CIcuCollator()
{
    ucol_close(m_collator);
}

std::string CIcuCollator::SortKey(std::u16string_view text) const
{
    if (!m_collator || text.size() > kMaximumCollatedLength)
        return Utf16ToUtf8(text);
    const auto length = static_cast<std::int32_t>(text.size());
    std::string key(text.size() * 4 + 16, '\0');
    for (;;) {
        const std::int32_t needed = ucol_getSortKey(m_collator, text.data(), length,
            reinterpret_cast<std::uint8_t*>(key.data()), static_cast<std::int32_t>(key.size()));
        if (needed <= 0)
            return Utf16ToUtf8(text);
        if (static_cast<size_t>(needed) <= key.size()) {
            key.resize(static_cast<size_t>(needed) - 1); // without the terminating zero
            return key;
        }
        key.resize(static_cast<size_t>(needed));
    }
}

} // namespace linlangok
