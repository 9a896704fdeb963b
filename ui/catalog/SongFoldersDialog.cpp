#include "ui/catalog/SongFoldersDialog.h"

#include "common/Text.h"
#include "ui/widgets/ProgramSettings.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace linlangok {
namespace {

const QString kCatalogApplication = QStringLiteral("Catalog");
const QString kConnectionKey = QStringLiteral("connection");

} // namespace

std::string RememberedCatalogConnection()
{
    return QSettings(kSettingsOrganisation, kCatalogApplication).value(kConnectionKey).toString().toStdString();
}

CSongFoldersDialog::CSongFoldersDialog(SongFoldersParts parts, QWidget* parent)
    : QDialog(parent)
    , m_parts(std::move(parts))
{
    setWindowTitle(tr("歌库"));
    auto* label = new QLabel(tr("歌曲文件夹"), this);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("歌曲文件夹"));
    m_list->installEventFilter(this);
    label->setBuddy(m_list);
    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    m_add = buttons->addButton(tr("添加..."), QDialogButtonBox::ActionRole);
    m_remove = buttons->addButton(tr("删除"), QDialogButtonBox::ActionRole);
    auto* close = buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {m_add, m_remove, close})
        button->setAutoDefault(false);
    m_status = new QLabel(this);
    auto* side = new QHBoxLayout;
    side->addWidget(m_list, 1);
    side->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(side, 1);
    layout->addWidget(m_status);
    if (const CatalogConnectionParts& connection = m_parts.connection;
        connection.masked && connection.withoutPassword && connection.reach) {
        auto* server = new QLabel(tr("歌库服务器(&S)"), this);
        m_connection = new QLineEdit(this);
        m_connection->setAccessibleName(tr("歌库服务器"));
        m_connection->setPlaceholderText(tr("空：本机的歌库"));
        server->setBuddy(m_connection);
        m_use = new QPushButton(tr("使用(&U)"), this);
        m_use->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addWidget(server);
        row->addWidget(m_connection, 1);
        row->addWidget(m_use);
        layout->addLayout(row);
        if (!connection.environment.empty()) {
            m_connection->setText(QString::fromStdString(connection.masked(connection.environment)));
            m_connection->setReadOnly(true);
            m_connection->setToolTip(tr("由 LINLANGOK_CATALOG 指定"));
        } else if (const std::string remembered = RememberedCatalogConnection(); !remembered.empty()) {
            m_connection->setText(QString::fromStdString(connection.masked(remembered)));
        }
        connect(m_use, &QPushButton::clicked, this, &CSongFoldersDialog::UseConnection);
        connect(m_connection, &QLineEdit::returnPressed, this, &CSongFoldersDialog::UseConnection);
    }
    resize(520, 260);

    connect(m_add, &QPushButton::clicked, this, &CSongFoldersDialog::AddFolder);
    connect(m_remove, &QPushButton::clicked, this, &CSongFoldersDialog::RemoveFolder);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { EnableButtons(); });
    Run({}, std::nullopt, 0);
}

CSongFoldersDialog::~CSongFoldersDialog()
{
    m_worker = {};
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
    if (m_busy)
        return;
    FolderRequest request;
    request.title = tr("选择歌曲文件夹").toStdU16String();
    const std::optional<std::filesystem::path> folder = m_parts.prompts.AskFolder(request);
    if (!folder)
        return;
    Run([folder = *folder](ICatalogStore& store) { store.AddFolder(folder); }, folder, 0);
}

void CSongFoldersDialog::RemoveFolder()
{
    const int row = m_list->currentRow();
    if (m_busy || row < 0)
        return;
    Run([folder = m_folders[static_cast<size_t>(row)]](ICatalogStore& store) { store.RemoveFolder(folder); },
        std::nullopt, row);
}

void CSongFoldersDialog::Run(
    std::function<void(ICatalogStore&)> change, std::optional<std::filesystem::path> select, int row)
{
    m_busy = true;
    m_status->setText(tr("正在读取歌库…"));
    EnableButtons();
    // The worker before is done: it was busy until its outcome was listed.
    m_worker = std::jthread([this, change = std::move(change), select = std::move(select), row] {
        Outcome outcome;
        try {
            if (!m_store)
                m_store = m_parts.openStore();
            if (change) {
                change(*m_store);
                outcome.changed = true;
            }
            outcome.folders = m_store->Folders();
        } catch (const std::exception& error) {
            m_store.reset();
            outcome.error = Utf8ToUtf16(error.what());
        }
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome), select, row] { List(outcome, select, row); },
            Qt::QueuedConnection);
    });
}

void CSongFoldersDialog::List(const Outcome& outcome, const std::optional<std::filesystem::path>& select, int row)
{
    m_busy = false;
    m_status->clear();
    m_changed = m_changed || outcome.changed;
    if (outcome.error.empty())
        m_folders = outcome.folders;
    m_list->clear();
    for (const std::filesystem::path& folder : m_folders)
        m_list->addItem(QString::fromStdU16String(m_parts.names.Text(PathToUtf16(folder))));
    const auto found = select ? std::find(m_folders.begin(), m_folders.end(), *select) : m_folders.end();
    m_list->setCurrentRow(
        found != m_folders.end() ? static_cast<int>(found - m_folders.begin()) : std::min(row, m_list->count() - 1));
    EnableButtons();
    if (!outcome.error.empty())
        m_parts.prompts.ShowError(CaptionError(), outcome.error);
    emit FoldersListed();
}

void CSongFoldersDialog::EnableButtons()
{
    m_add->setEnabled(!m_busy);
    m_remove->setEnabled(!m_busy && m_list->currentRow() >= 0);
    if (m_use)
        m_use->setEnabled(!m_busy && !m_connection->isReadOnly());
}

void CSongFoldersDialog::UseConnection()
{
    if (m_connection->isReadOnly() || m_busy)
        return;
    const CatalogConnectionParts& parts = m_parts.connection;
    const std::string typed = m_connection->text().trimmed().toStdString();
    const std::string remembered = RememberedCatalogConnection();
    if (typed == parts.masked(remembered) || (typed.empty() && remembered.empty()))
        return;
    if (typed.empty()) { // this machine's catalogue: nothing to try
        Remember({}, {}, false);
        return;
    }
    const std::optional<std::string> kept = parts.withoutPassword(typed);
    if (!kept) {
        m_parts.prompts.ShowError(CaptionError(),
            tr("“%1”不是 PostgreSQL 的连接串（postgresql://… 或 host=… dbname=…）。")
                .arg(QString::fromStdString(parts.masked(typed)))
                .toStdU16String());
        return;
    }
    m_busy = true;
    m_status->setText(tr("正在连接歌库服务器…"));
    EnableButtons();
    // The worker before is done: it was busy until its outcome was told.
    m_worker = std::jthread([this, typed, kept = *kept](std::stop_token stop) {
        const std::u16string why = Utf8ToUtf16(m_parts.connection.reach(typed, stop));
        QMetaObject::invokeMethod(
            this, [this, typed, kept, why] { Reached(typed, kept, why); }, Qt::QueuedConnection);
    });
}

void CSongFoldersDialog::Reached(const std::string& typed, const std::string& kept, const std::u16string& why)
{
    m_busy = false;
    m_status->clear();
    EnableButtons();
    if (!why.empty()) {
        const QString question
            = tr("连不上歌库服务器：%1\n仍要在下次启动时使用它吗？").arg(QString::fromStdU16String(why));
        if (m_parts.prompts.ShowMessage(MessageRequest {
                CaptionWarning(), question.toStdU16String(), EMessageButtons::YesNo, EMessageIcon::Warning})
            != EPromptAnswer::Yes) {
            // What was typed goes, its password with it.
            m_connection->setText(QString::fromStdString(m_parts.connection.masked(RememberedCatalogConnection())));
            return;
        }
    }
    Remember(typed, kept, why.empty());
}

void CSongFoldersDialog::Remember(const std::string& typed, const std::string& kept, bool reached)
{
    QSettings(kSettingsOrganisation, kCatalogApplication).setValue(kConnectionKey, QString::fromStdString(kept));
    m_connection->setText(QString::fromStdString(kept));
    QString message = tr("琳朗卡拉OK 下次启动时使用所设的歌库。");
    if (reached)
        message.prepend(tr("已连上歌库服务器。") + QLatin1Char('\n'));
    // A password typed is left out, not kept in the settings.
    if (m_parts.connection.masked(typed) != kept)
        message += QLatin1Char('\n') + tr("密码未保存：请写入 ~/.pgpass，或用 PGSERVICE。");
    m_parts.prompts.ShowMessage(
        MessageRequest {std::nullopt, message.toStdU16String(), EMessageButtons::Ok, EMessageIcon::Information});
}

} // namespace linlangok
