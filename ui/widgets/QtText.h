#pragma once

#include "common/FilePath.h"

#include <QString>
#include <QUrl>

#include <filesystem>
#include <string_view>

namespace linlangok {

// The system's UTF-16 text as a QString (a copy). QString keeps a path's escaped bytes (lone
// surrogates) as they are; Qt's own conversions to bytes (toStdString, QFile::encodeName) do not.
inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A path that Qt hands over as text. Qt reads each byte of a name that is not UTF-8 as U+FFFD
// (its own file dialog does not even list such names); those names are resolved against the
// folders' real entries (ResolveLossyPath).
inline std::filesystem::path ToPath(const QString& text)
{
    return ResolveLossyPath(Utf16ToPath(text.toStdU16String()));
}

// The file a local file URL names, in the file system's bytes. The URL's percent-escapes are the
// bytes: a drop's text/uri-list, a desktop portal's answer and a D-Bus caller's URI keep a name
// that is not UTF-8 so, where QUrl::toLocalFile reads it as U+FFFD. A name that was read lossily
// before it became a URL is resolved as ToPath does.
inline std::filesystem::path PathOfUrl(const QUrl& url)
{
    const auto path = PathOfFileUri(url.toEncoded().toStdString());
    return path ? ResolveLossyPath(*path) : ToPath(url.toLocalFile());
}

// The file URL of a path, its bytes percent-encoded; empty for an empty path.
inline QUrl UrlOfPath(const std::filesystem::path& path)
{
    return path.empty() ? QUrl() : QUrl::fromEncoded(QByteArray::fromStdString(FileUriOfPath(path)));
}

} // namespace linlangok
