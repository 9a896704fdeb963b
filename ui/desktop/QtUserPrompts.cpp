#include "ui/desktop/QtUserPrompts.h"

#include "common/FilePath.h"
#include "ui/widgets/QtText.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QStringList>

namespace linlangok {
namespace {

// "MIDI File (*.mid)" with "*.mid;*.wav": Qt reads the space-separated patterns from the last
// parentheses, so each filter is written as its description followed by its own patterns. A
// description that ends with patterns of its own ("Music Files (*.mid;*.mp3)") shows the filter's
// in their place, so that they appear once and are the ones matched.
QString FilterText(const std::vector<FileFilter>& filters)
{
    QStringList entries;
    for (const FileFilter& filter : filters) {
        QString description = ToQString(filter.description);
        if (const qsizetype open = description.lastIndexOf(QStringLiteral(" ("));
            open >= 0 && description.endsWith(u')'))
            description.truncate(open);
        entries << description + QStringLiteral(" (") + ToQString(filter.patterns).replace(u';', u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

// The one suffix a filter names ("*.wav": "wav"); empty when it names several or a wildcard.
QString PlainSuffix(const FileFilter& filter)
{
    const QString patterns = ToQString(filter.patterns);
    if (!patterns.startsWith(QStringLiteral("*.")) || patterns.contains(u';'))
        return {};
    const QString suffix = patterns.mid(2);
    return suffix.contains(u'*') || suffix.contains(u'?') ? QString() : suffix;
}

} // namespace

QWidget* CQtUserPrompts::Owner() const
{
    QWidget* active = QApplication::activeWindow();
    return active ? active : m_owner;
}

EPromptAnswer CQtUserPrompts::ShowMessage(const MessageRequest& request)
{
    if (!m_asking)
        return EPromptAnswer::Cancel;
    if (m_reportSink && request.buttons == EMessageButtons::Ok) {
        m_reportSink(request);
        return EPromptAnswer::Ok;
    }
    QMessageBox box(Owner());
    // No caption asks for the platform's own, "错误" as the desktop shows it; an empty one stays empty.
    box.setWindowTitle(
        request.caption ? ToQString(*request.caption) : QCoreApplication::translate("CQtUserPrompts", "错误"));
    box.setText(ToQString(request.text));
    switch (request.icon) {
    case EMessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case EMessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case EMessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case EMessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case EMessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (request.buttons) {
    case EMessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case EMessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case EMessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case EMessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const int pressed = box.exec();
    if (!m_asking)
        return EPromptAnswer::Cancel;
    switch (pressed) {
    case QMessageBox::Cancel:
        return EPromptAnswer::Cancel;
    case QMessageBox::Yes:
        return EPromptAnswer::Yes;
    case QMessageBox::No:
        return EPromptAnswer::No;
    default:
        return request.buttons == EMessageButtons::Ok ? EPromptAnswer::Ok : EPromptAnswer::Cancel;
    }
}

std::optional<std::filesystem::path> CQtUserPrompts::AskOpenPath(const FileDialogRequest& request)
{
    if (!m_asking)
        return std::nullopt;
    // URLs, not file names: a desktop portal's dialog hands over a name's bytes only so.
    const QUrl url = QFileDialog::getOpenFileUrl(
        Owner(), ToQString(request.title), UrlOfPath(request.initialPath), FilterText(request.filters));
    if (url.isEmpty() || !m_asking)
        return std::nullopt;
    return PathOfUrl(url);
}

std::optional<std::filesystem::path> CQtUserPrompts::AskSavePath(const FileDialogRequest& request)
{
    if (!m_asking)
        return std::nullopt;
    QFileDialog dialog(
        Owner(), ToQString(request.title), ToQString(PathToUtf16(request.initialPath)), FilterText(request.filters));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askBeforeOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "*.mid;*.wav" names no single suffix to add; a plain one such as "mp3" is added when the
    // name has none.
    const QString extension = ToQString(request.defaultExtension);
    if (!extension.isEmpty() && !extension.contains(u'*') && !extension.contains(u';')) {
        const QString suffix = extension.startsWith(u'.') ? extension.mid(1) : extension;
        dialog.setDefaultSuffix(suffix);
        // A filter that names one suffix, as "WAV File (*.wav)" does, adds that one when chosen.
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &request, suffix](const QString& chosen) {
                const qsizetype index = FilterText(request.filters).split(QStringLiteral(";;")).indexOf(chosen);
                const QString named = index >= 0 ? PlainSuffix(request.filters[static_cast<size_t>(index)]) : QString();
                dialog.setDefaultSuffix(named.isEmpty() ? suffix : named);
            });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty() || !m_asking)
        return std::nullopt;
    return PathOfUrl(dialog.selectedUrls().first());
}

std::optional<std::filesystem::path> CQtUserPrompts::AskFolder(const FolderRequest& request)
{
    if (!m_asking)
        return std::nullopt;
    const QUrl folder = QFileDialog::getExistingDirectoryUrl(
        Owner(), ToQString(request.title), UrlOfPath(request.initialFolder), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty() || !m_asking)
        return std::nullopt;
    return PathOfUrl(folder);
}

std::optional<FontChoice> CQtUserPrompts::AskFont(const FontChoice& current)
{
    if (!m_asking)
        return std::nullopt;
    QFont initial(ToQString(current.family), current.pointSize > 0 ? current.pointSize : -1);
    initial.setBold(current.bold);
    initial.setItalic(current.italic);
    bool accepted = false;
    const QFont font = QFontDialog::getFont(&accepted, initial, Owner());
    if (!accepted || !m_asking)
        return std::nullopt;
    FontChoice choice;
    choice.family = font.family().toStdU16String();
    choice.pointSize = font.pointSize();
    choice.bold = font.bold();
    choice.italic = font.italic();
    return choice;
}

void CQtUserPrompts::StopAsking()
{
    m_asking = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

} // namespace linlangok
