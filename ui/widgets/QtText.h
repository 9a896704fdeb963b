#pragma once

#include <QString>

#include <filesystem>
#include <string_view>

namespace linlangok {

// The system's UTF-16 text as a QString (a copy).
inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A path the user chose or dropped, in the file system's encoding.
inline std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdString());
}

} // namespace linlangok
