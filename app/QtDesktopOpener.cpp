#include "app/QtDesktopOpener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace linlangok {

void CQtDesktopOpener::OpenDocument(const std::filesystem::path& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

void CQtDesktopOpener::OpenWebPage(std::u16string_view address)
{
    QDesktopServices::openUrl(QUrl(QString::fromUtf16(address.data(), static_cast<qsizetype>(address.size()))));
}

} // namespace linlangok
