#include "ui/catalog/SongFoldersDialog.h"

#include "common/Text.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace linlangok {

CSongFoldersDialog::CSongFoldersDialog(
    ICatalogStore& store, IUserPrompts& prompts, const CPathDisplay& names, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts)
    , m_names(names)
{
    setWindowTitle(tr("歌库"));
    auto* label = new QLabel(tr("歌曲文件夹"), this);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("歌曲文件夹"));
    m_list->installEventFilter(this);
    label->setBuddy(m_list);
    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    auto* add = buttons->addButton(tr("添加..."), QDialogButtonBox::ActionRole);
    m_remove = buttons->addButton(tr("删除"), QDialogButtonBox::ActionRole);
    auto* close = buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {add, m_remove, close})
        button->setAutoDefault(false);
    auto* side = new QHBoxLayout;
    side->addWidget(m_list, 1);
    side->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(side, 1);
    resize(520, 260);

    connect(add, &QPushButton::clicked, this, &CSongFoldersDialog::AddFolder);
    connect(m_remove, &QPushButton::clicked, this, &CSongFoldersDialog::RemoveFolder);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_remove->setEnabled(row >= 0); });
    Reload(0);
}

bool CSongFoldersDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveFolder();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CSongFoldersDialog::AddFolder()
{
    FolderRequest request;
    request.title = tr("选择歌曲文件夹").toStdU16String();
    const std::optional<std::filesystem::path> folder = m_prompts.AskFolder(request);
    if (!folder)
        return;
    try {
        m_store.AddFolder(*folder);
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return;
    }
    m_changed = true;
    Reload(0);
    m_list->setCurrentRow(static_cast<int>(std::find(m_folders.begin(), m_folders.end(), *folder) - m_folders.begin()));
}

void CSongFoldersDialog::RemoveFolder()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    try {
        m_store.RemoveFolder(m_folders[static_cast<size_t>(row)]);
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return;
    }
    m_changed = true;
    Reload(row);
}

void CSongFoldersDialog::Reload(int row)
{
    try {
        m_folders = m_store.Folders();
    } catch (const std::runtime_error& error) {
        m_folders.clear();
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
    }
    m_list->clear();
    for (const std::filesystem::path& folder : m_folders)
        m_list->addItem(QString::fromStdU16String(m_names.Text(PathToUtf16(folder))));
    m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    m_remove->setEnabled(m_list->currentRow() >= 0);
}

} // namespace linlangok
