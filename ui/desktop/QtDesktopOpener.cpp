#include "ui/desktop/QtDesktopOpener.h"

#include "common/FilePath.h"
#include "ui/widgets/QtText.h"

#include <QDesktopServices>
#include <QUrl>

namespace linlangok {

void CQtDesktopOpener::OpenDocument(const std::filesystem::path& path)
{
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(FileUriOfPath(path))));
}

void CQtDesktopOpener::OpenWebPage(std::u16string_view address)
{
    QDesktopServices::openUrl(QUrl(ToQString(address)));
}

} // namespace linlangok
