#include "ui/songlist/SongListWindow.h"

#include "common/FilePath.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "ui/songlist/ListNameDialog.h"
#include "ui/widgets/Artwork.h"
#include "ui/widgets/DialogTemplate.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/ResizableWindow.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>

#include <algorithm>

namespace linlangok {
namespace {

// The dialog template: the list commands beside the list chooser on top, the song box below
// with the song commands to its right, so that only the song box needs to grow.
constexpr ControlTemplate kControls[] = {
    {kListComboBox, EControlKind::ComboBox, "", 6, 6, 81, 14, QT_TRANSLATE_NOOP("CSongListWindow", "歌曲列表")},
    {kNewListButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "新建"), 89, 6, 46, 14},
    {kRenameListButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "重命名"), 137, 6, 46, 14},
    {kDeleteListButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "删除"), 185, 6, 46, 14,
        QT_TRANSLATE_NOOP("CSongListWindow", "删除列表")},
    {kSongListBox, EControlKind::ListBox, "", 6, 24, 129, 95, QT_TRANSLATE_NOOP("CSongListWindow", "歌曲")},
    {kAddFileButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "文件"), 137, 24, 46, 14,
        QT_TRANSLATE_NOOP("CSongListWindow", "添加文件")},
    {kAddFolderButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "文件夹"), 185, 24, 46, 14,
        QT_TRANSLATE_NOOP("CSongListWindow", "添加文件夹")},
    {kRemoveSongButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "删除"), 137, 41, 46, 14,
        QT_TRANSLATE_NOOP("CSongListWindow", "删除歌曲")},
    {kClearSongsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "清空"), 185, 41, 46, 14},
    {kPlaySongButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "播放"), 137, 58, 46, 14},
    {kSongSearchButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "在线搜歌"), 185, 58, 46, 14},
    {kSongListHelpButton, EControlKind::Button, QT_TRANSLATE_NOOP("CSongListWindow", "帮助"), 185, 75, 46, 14},
};

constexpr int kClientWidth = 237; // dialog units
constexpr int kClientHeight = 125;
constexpr int kDialogId = 205;

constexpr std::u16string_view kSongSearchAddress = u"https://www.baidu.com/s?wd=MIDI%E4%BC%B4%E5%A5%8F";

} // namespace

CSongListWindow::CSongListWindow(const SongListWindowParts& parts, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_controller(parts.controller)
    , m_prompts(parts.prompts)
    , m_desktop(parts.desktop)
    , m_helpFolder(parts.helpFolder)
    , m_presenter(
          parts.prompts, parts.codePage, parts.names, parts.collator, parts.programFolder, *this, parts.firstSong)
{
    setWindowTitle(tr("播放列表"));
    setModal(false);
    SetTiledBackground(*this);

    const CDialogUnits units(font());
    m_controls.Build(*this, "CSongListWindow", kControls, units);
    m_lists = m_controls.Control<QComboBox>(kListComboBox);
    m_songs = m_controls.Control<QListWidget>(kSongListBox);
    resize(units.X(kClientWidth), units.Y(kClientHeight));
    m_resizer = new CResizableWindow(*this, QStringLiteral("PlayListDlg"), kDialogId, true);
    m_resizer->GrowVertically(*m_songs);
    Connect();
    setAcceptDrops(true);
    m_folderSlice.setInterval(0);

    ShowAll();
}

CSongListWindow::~CSongListWindow()
{
    m_folderSlice.stop();
    m_resizer->StoreSize();
}

void CSongListWindow::Connect()
{
    const auto onClick = [this](int id, auto&& action) {
        connect(m_controls.Control<QPushButton>(id), &QPushButton::clicked, this, action);
    };
    onClick(kNewListButton, &CSongListWindow::NewList);
    onClick(kRenameListButton, &CSongListWindow::RenameList);
    onClick(kDeleteListButton, &CSongListWindow::DeleteList);
    onClick(kAddFileButton, &CSongListWindow::AddFile);
    onClick(kAddFolderButton, &CSongListWindow::AddFolder);
    onClick(kRemoveSongButton, &CSongListWindow::RemoveSong);
    onClick(kClearSongsButton, &CSongListWindow::ClearSongs);
    onClick(kPlaySongButton, [this] { m_controller.Handle(command::Play {}); });
    onClick(kSongSearchButton, [this] { m_desktop.OpenWebPage(kSongSearchAddress); });
    onClick(kSongListHelpButton, [this] { m_desktop.OpenDocument(m_helpFolder / "PlayList.html"); });
    connect(m_lists, &QComboBox::activated, this, &CSongListWindow::ChooseList);
    // Moving the selection picks the song; so does a click on the song selected already, which
    // moves nothing (see eventFilter).
    connect(m_songs, &QListWidget::currentRowChanged, this, [this](int row) {
        m_pressMovedSelection = true;
        m_presenter.PickSong(row);
    });
    connect(m_songs, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!m_pressMovedSelection)
            m_presenter.PickSong(m_songs->row(item));
    });
    m_songs->viewport()->installEventFilter(this);
    connect(m_songs, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem* item) { m_presenter.PlaySong(m_songs->row(item)); });
    connect(&m_folderSlice, &QTimer::timeout, this, &CSongListWindow::ContinueAddingFolder);
}

void CSongListWindow::ChooseList(int index)
{
    m_presenter.ChooseList(index);
    ShowAll();
}

void CSongListWindow::NewList()
{
    const auto name = CListNameDialog::Ask(this, tr("新建歌曲列表"), kNewListNameEdit);
    if (!name)
        return;
    const bool created = m_presenter.CreateList(*name);
    ShowAll();
    if (created)
        m_lists->setFocus();
}

void CSongListWindow::RenameList()
{
    const auto name = CListNameDialog::Ask(this, tr("重命名歌曲列表"), kRenameListNameEdit);
    if (!name)
        return;
    const bool renamed = m_presenter.RenameList(*name);
    ShowAll();
    if (renamed)
        m_lists->setFocus();
}

void CSongListWindow::DeleteList()
{
    if (!m_presenter.DeleteList())
        return;
    ShowAll();
    m_lists->setFocus();
}

void CSongListWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!IsAddingFolder() && std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void CSongListWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : event->mimeData()->urls()) {
        std::filesystem::path path = PathOfUrl(url);
        if (url.isLocalFile() && std::filesystem::is_regular_file(path))
            files.push_back(std::move(path));
    }
    if (m_presenter.AddSongs(files))
        ShowSongs();
    event->acceptProposedAction();
}

void CSongListWindow::AddFile()
{
    FileDialogRequest request;
    request.filters = {{std::u16string(kSongFilesDescription), SongFilePatterns(u';')}};
    request.defaultExtension = u"*.mid;*.wav;*.mp3";
    const auto path = m_prompts.AskOpenPath(request);
    if (path && m_presenter.AddSongs({*path}))
        ShowSongs();
}

void CSongListWindow::AddFolder()
{
    const auto folder = m_prompts.AskFolder({tr("选择歌曲文件夹").toStdU16String(), {}});
    if (!folder) {
        CancelAddingFolder();
        return;
    }
    m_presenter.StartAddingFolder(*folder);
    m_progress = new QProgressDialog(
        tr("正在读取文件夹中的歌曲..."), tr("取消"), 0, static_cast<int>(m_presenter.FolderEntryCount()), this);
    m_progress->setWindowTitle(tr("添加文件夹"));
    m_progress->setMinimumDuration(500);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, &CSongListWindow::CancelAddingFolder);
    m_progress->setValue(0);
    ApplyEnableStates();
    m_folderSlice.start();
}

void CSongListWindow::ContinueAddingFolder()
{
    if (m_presenter.ContinueAddingFolder())
        m_progress->setValue(static_cast<int>(m_presenter.FolderEntriesExamined()));
    else
        FinishAddingFolder();
}

void CSongListWindow::CancelAddingFolder()
{
    m_presenter.CancelAddingFolder();
    FinishAddingFolder();
}

void CSongListWindow::FinishAddingFolder()
{
    m_folderSlice.stop();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
    ShowSongs();
    ApplyEnableStates();
}

void CSongListWindow::RemoveSong()
{
    m_presenter.RemoveCurrentSong();
    ShowSongs();
    if (m_songs->count() > 0)
        m_songs->setFocus();
}

void CSongListWindow::ClearSongs()
{
    m_presenter.ClearSongs();
    ShowSongs();
    m_songs->setFocus();
}

void CSongListWindow::PlayNeighbour(int step)
{
    m_presenter.PlayNeighbour(step);
    ShowCurrentSong();
}

bool CSongListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_songs->viewport() && event->type() == QEvent::MouseButtonPress)
        m_pressMovedSelection = false;
    return QDialog::eventFilter(watched, event);
}

void CSongListWindow::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        HideWindow();
    else
        QDialog::keyPressEvent(event);
}

void CSongListWindow::reject()
{
    HideWindow();
}

void CSongListWindow::HideWindow()
{
    hide();
    m_controller.Handle(command::CompanionClosed {ECompanion::SongList});
}

void CSongListWindow::ShowAll()
{
    ShowLists();
    ShowSongs();
    ApplyEnableStates();
}

void CSongListWindow::ShowLists()
{
    const QSignalBlocker blocker(m_lists);
    m_lists->clear();
    for (const auto& list : m_presenter.Store().Lists())
        m_lists->addItem(ToQString(list.displayName));
    m_lists->setCurrentIndex(m_presenter.Store().SelectedIndex());
}

void CSongListWindow::ShowSongs()
{
    const QSignalBlocker blocker(m_songs);
    m_songs->clear();
    QStringList names;
    for (const auto& name : m_presenter.Store().SongNames())
        names.append(ToQString(name));
    m_songs->addItems(names);
    ShowCurrentSong();
}

void CSongListWindow::ShowCurrentSong()
{
    const QSignalBlocker blocker(m_songs); // showing picks nothing
    // Without a current song the box has none either: a song box without one would make its first
    // song current when it gets the focus (with the window), which picks it.
    const int current = m_presenter.CurrentSong();
    if (current >= 0)
        m_songs->setCurrentRow(current);
    else
        m_songs->setCurrentIndex(QModelIndex());
}

void CSongListWindow::ApplyEnableStates()
{
    const SongListEnables enables = m_presenter.Enables();
    for (const int id : {kNewListButton, kListComboBox})
        Control(id)->setEnabled(enables.listChoice);
    for (const int id :
        {kRenameListButton, kDeleteListButton, kAddFileButton, kAddFolderButton, kRemoveSongButton, kClearSongsButton})
        Control(id)->setEnabled(enables.listCommands);
}

} // namespace linlangok
