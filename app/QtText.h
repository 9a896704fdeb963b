#pragma once

#include <QString>

#include <string_view>

namespace linlangok {

// The system's UTF-16 text as a QString (a copy).
inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace linlangok
