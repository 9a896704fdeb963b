#include "ui/catalog/CatalogWindow.h"

#include "common/Text.h"
#include "ui/catalog/CoverPictures.h"
#include "ui/catalog/SongFoldersDialog.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <stdexcept>

namespace linlangok {
namespace {

// Results shown for one query: more are never looked at, and the list stays quick to fill.
constexpr size_t kShownResults = 300;

QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text)
{
    return text.toStdU16String();
}

QString LengthText(std::int32_t milliseconds)
{
    if (milliseconds <= 0)
        return {};
    const int seconds = (milliseconds + 500) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString KindText(const std::string& format)
{
    return format == "mid" ? QStringLiteral("MIDI") : QString::fromStdString(format).toUpper();
}

QPushButton* Button(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

// The search results as the list shows them, with the index they point into. Rows are made only
// as they are painted, so that a keystroke costs the search and the rows in sight, not a widget
// item for every result. A song's cover shows beside its title once it is read.
class CSearchResultsModel final : public QAbstractTableModel {
public:
    CSearchResultsModel(int coverSide, QObject* parent)
        : QAbstractTableModel(parent)
        , m_covers(new CCoverPictures(coverSide, this))
    {
        connect(m_covers, &CCoverPictures::coverRead, this, &CSearchResultsModel::CoverRead);
    }

    void Show(std::shared_ptr<const CCatalogIndex> index, std::vector<SearchResult> results)
    {
        beginResetModel();
        m_covers->DropWaiting();
        m_index = std::move(index);
        m_results = std::move(results);
        endResetModel();
    }
    const CatalogSong* Song(int row) const
    {
        return row >= 0 && static_cast<size_t>(row) < m_results.size() ? m_results[static_cast<size_t>(row)].song
                                                                       : nullptr;
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_results.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const CatalogSong* song = Song(index.row());
        if (role == Qt::DecorationRole && index.column() == 0 && song && !song->cover.empty()) {
            const QPixmap cover = m_covers->Cover(QByteArray::fromStdString(song->cover.native()));
            return cover.isNull() ? QVariant() : QVariant(cover);
        }
        if (role != Qt::DisplayRole || !song)
            return {};
        switch (index.column()) {
        case 0:
            return ToQString(song->title);
        case 1:
            return ToQString(song->singer);
        case 2:
            return KindText(song->format);
        default:
            return LengthText(song->lengthMilliseconds);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static constexpr const char* kHeaders[]
            = {QT_TRANSLATE_NOOP("CSearchResultsModel", "歌名"), QT_TRANSLATE_NOOP("CSearchResultsModel", "歌手"),
                QT_TRANSLATE_NOOP("CSearchResultsModel", "类型"), QT_TRANSLATE_NOOP("CSearchResultsModel", "时长")};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 4)
            return {};
        return QCoreApplication::translate("CSearchResultsModel", kHeaders[section]);
    }

private:
    void CoverRead(const QByteArray& file)
    {
        const std::string_view path(file.constData(), static_cast<size_t>(file.size()));
        for (size_t row = 0; row < m_results.size(); ++row)
            if (m_results[row].song->cover.native() == path) {
                const QModelIndex title = index(static_cast<int>(row), 0);
                emit dataChanged(title, title, {Qt::DecorationRole});
            }
    }

    CCoverPictures* m_covers;
    std::shared_ptr<const CCatalogIndex> m_index;
    std::vector<SearchResult> m_results;
};

CatalogServiceParts CatalogueParts(const CatalogServices& catalog, IUiThreadPoster& uiThread)
{
    return {catalog.openStore, catalog.makeReader, catalog.folding, catalog.pinyin, catalog.names, uiThread,
        catalog.shared};
}

CCatalogWindow::CCatalogWindow(const CatalogWindowParts& parts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_parts(parts)
{
    setWindowTitle(tr("点歌"));
    BuildLayout();
    m_queueListener = m_parts.picker.AddChangedListener([this] { UpdateQueue(); });
    m_parts.catalogue.AddListener(*this);
    UpdateQueue();
}

CCatalogWindow::~CCatalogWindow()
{
    m_parts.catalogue.RemoveListener(*this);
    m_parts.picker.RemoveChangedListener(m_queueListener);
}

void CCatalogWindow::BuildLayout()
{
    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(tr("歌名、歌手、拼音或首字母（如 yldbwdx）"));
    m_search->setAccessibleName(tr("搜索"));
    m_search->installEventFilter(this);
    m_singer = new QLineEdit(this);
    m_singer->setPlaceholderText(tr("全部歌手"));
    m_singer->setAccessibleName(tr("歌手"));
    m_kind = new QComboBox(this);
    m_kind->setAccessibleName(tr("类型"));
    for (const auto& [text, format] : {std::pair {QT_TR_NOOP("全部类型"), ""}, {"MIDI", "mid"}, {"KAR", "kar"},
             {"MP3", "mp3"}, {"WAV", "wav"}, {QT_TR_NOOP("视频"), kVideoFormats.data()}})
        m_kind->addItem(tr(text), QString::fromUtf8(format));
    m_performer = new QLineEdit(this);
    m_performer->setPlaceholderText(tr("演唱者"));
    m_performer->setAccessibleName(tr("演唱者"));

    m_results = new QTreeView(this);
    // A cover as tall as a line of text: rows stay as high as without.
    const int coverSide = m_results->fontMetrics().height();
    m_results->setIconSize({coverSide, coverSide});
    m_shown = new CSearchResultsModel(coverSide, this);
    m_results->setAccessibleName(tr("搜索结果"));
    m_results->setModel(m_shown);
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_results->installEventFilter(this);

    auto* pick = Button(tr("点歌"), this);
    auto* top = Button(tr("优先"), this);
    top->setAccessibleName(tr("优先点歌")); // the queue's own 优先 is the other
    auto* play = Button(tr("播放"), this);
    auto* library = Button(tr("歌库..."), this);
    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(tr("扫描进度"));
    m_progress->hide();
    m_cancel = Button(tr("取消"), this);
    m_cancel->hide();
    m_status = new QLabel(this);
    m_offline = new QLabel(this);
    m_offline->setObjectName(QStringLiteral("offline"));
    m_offline->setAccessibleName(tr("歌库状态"));
    m_offline->setWordWrap(true);
    SharedCatalogueReached(!m_parts.catalogue.IsOffline(), m_parts.catalogue.OfflineReason());

    m_queue = new QListWidget(this);
    m_queue->setAccessibleName(tr("已点歌曲"));
    m_queue->setDragDropMode(QAbstractItemView::InternalMove);
    auto* queueTop = Button(tr("优先"), this);
    auto* remove = Button(tr("删除"), this);
    auto* skip = Button(tr("切歌"), this);
    m_continuous = new QCheckBox(tr("连续播放"), this);
    m_continuous->setChecked(m_parts.picker.Continuous());

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_search, 3);
    filters->addWidget(m_singer, 1);
    filters->addWidget(m_kind);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_performer, 1);
    actions->addWidget(pick);
    actions->addWidget(top);
    actions->addWidget(play);
    actions->addStretch();
    actions->addWidget(library);
    auto* scan = new QHBoxLayout;
    scan->addWidget(m_status, 1);
    scan->addWidget(m_progress, 1);
    scan->addWidget(m_cancel);
    auto* searchSide = new QVBoxLayout;
    searchSide->addLayout(filters);
    searchSide->addWidget(m_results, 1);
    searchSide->addLayout(actions);
    searchSide->addWidget(m_offline);
    searchSide->addLayout(scan);
    auto* queueButtons = new QHBoxLayout;
    queueButtons->addWidget(queueTop);
    queueButtons->addWidget(remove);
    queueButtons->addWidget(skip);
    auto* queueSide = new QVBoxLayout;
    queueSide->addWidget(new QLabel(tr("已点歌曲"), this));
    queueSide->addWidget(m_queue, 1);
    queueSide->addLayout(queueButtons);
    queueSide->addWidget(m_continuous);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(searchSide, 3);
    layout->addLayout(queueSide, 2);
    resize(900, 520);

    connect(m_search, &QLineEdit::textChanged, this, &CCatalogWindow::UpdateResults);
    connect(m_singer, &QLineEdit::textChanged, this, &CCatalogWindow::UpdateResults);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &CCatalogWindow::UpdateResults);
    connect(m_results, &QTreeView::activated, this, &CCatalogWindow::PickSelected);
    connect(pick, &QPushButton::clicked, this, &CCatalogWindow::PickSelected);
    connect(top, &QPushButton::clicked, this, [this] {
        if (const CatalogSong* song = SelectedSong())
            m_parts.picker.PickFirst(*song, FromQString(m_performer->text()));
    });
    connect(play, &QPushButton::clicked, this, [this] {
        if (const CatalogSong* song = SelectedSong())
            m_parts.picker.PlayNow(*song);
    });
    connect(library, &QPushButton::clicked, this, &CCatalogWindow::EditFolders);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_parts.catalogue.Cancel(); });
    connect(queueTop, &QPushButton::clicked, this, [this] {
        if (m_queue->currentRow() >= 0)
            m_parts.picker.Prioritize(static_cast<size_t>(m_queue->currentRow()));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_queue->currentRow() >= 0)
            m_parts.picker.Remove(static_cast<size_t>(m_queue->currentRow()));
    });
    connect(skip, &QPushButton::clicked, this, [this] { m_parts.picker.Skip(); });
    connect(m_continuous, &QCheckBox::toggled, this, [this](bool on) { m_parts.picker.SetContinuous(on); });
    connect(m_queue->model(), &QAbstractItemModel::rowsMoved, this,
        [this](const QModelIndex&, int from, int, const QModelIndex&, int to) {
            // The view has moved its row already; the picker follows once the view is done.
            const size_t target = static_cast<size_t>(to > from ? to - 1 : to);
            QMetaObject::invokeMethod(
                this, [this, from, target] { m_parts.picker.Move(static_cast<size_t>(from), target); },
                Qt::QueuedConnection);
        });
}

bool CCatalogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_search && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        const int row = m_results->currentIndex().row() + (key == Qt::Key_Down ? 1 : -1);
        if (row >= 0 && row < m_shown->rowCount({}))
            m_results->setCurrentIndex(m_shown->index(row, 0));
        return true;
    }
    if ((watched == m_search || watched == m_results) && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        PickSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CCatalogWindow::UpdateResults()
{
    const SearchFilter filter {FromQString(m_singer->text()), m_kind->currentData().toString().toStdString()};
    std::shared_ptr<const CCatalogIndex> index = m_parts.catalogue.Index();
    std::vector<SearchResult> results
        = index ? index->Search(FromQString(m_search->text()), filter, kShownResults) : std::vector<SearchResult> {};
    m_shownRevision = index ? index->Revision() : 0;
    m_shown->Show(std::move(index), std::move(results));
    if (m_shown->rowCount({}) > 0)
        m_results->setCurrentIndex(m_shown->index(0, 0));
}

void CCatalogWindow::IndexChanged(const std::shared_ptr<const CCatalogIndex>& index)
{
    if (!index || index->Revision() == m_shownRevision)
        return;
    const CatalogSong* selected = SelectedSong();
    const std::int64_t id = selected ? selected->id : 0;
    UpdateResults();
    for (int row = 0; row < m_shown->rowCount({}); ++row)
        if (const CatalogSong* song = m_shown->Song(row); song && song->id == id)
            m_results->setCurrentIndex(m_shown->index(row, 0));
    // Another room's scan, followed: the load's end tells its own.
    if (!m_parts.catalogue.IsBusy())
        ShowSongCount(index->Size());
}

void CCatalogWindow::ShowSongCount(size_t songs)
{
    m_status->setText(tr("歌库共 %1 首").arg(songs) + m_scanReport);
}

void CCatalogWindow::UpdateQueue()
{
    const int row = m_queue->currentRow();
    m_queue->clear();
    for (const QueueEntry& entry : m_parts.picker.Queue().Entries()) {
        QString text = ToQString(entry.title);
        if (!entry.singer.empty())
            text += QStringLiteral(" - ") + ToQString(entry.singer);
        if (!entry.performer.empty())
            text += QStringLiteral("  [") + ToQString(entry.performer) + QStringLiteral("]");
        m_queue->addItem(text);
    }
    m_queue->setCurrentRow(std::min(row, m_queue->count() - 1));
}

const CatalogSong* CCatalogWindow::SelectedSong() const
{
    return m_shown->Song(m_results->currentIndex().row());
}

void CCatalogWindow::PickSelected()
{
    if (const CatalogSong* song = SelectedSong())
        m_parts.picker.Pick(*song, FromQString(m_performer->text()), m_parts.nothingPlays());
}

void CCatalogWindow::EditFolders()
{
    // A scan that ran on would store the songs of a folder removed meanwhile.
    m_parts.catalogue.Finish();
    auto* dialog = new CSongFoldersDialog(
        {m_parts.catalog.openStore, m_parts.prompts, m_parts.catalog.names, m_parts.catalog.connection}, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (dialog->Changed())
            Refresh(true);
    });
    dialog->open();
}

void CCatalogWindow::Refresh(bool rescan)
{
    if (!m_parts.catalogue.Refresh(rescan))
        return;
    m_progress->setRange(0, 0);
    m_progress->setVisible(rescan);
    m_cancel->setVisible(rescan);
    m_status->setText(rescan ? tr("正在扫描歌曲文件夹…") : tr("正在读取歌库…"));
}

void CCatalogWindow::ScanProgressed(size_t done, size_t total)
{
    m_progress->setRange(0, static_cast<int>(total));
    m_progress->setValue(static_cast<int>(done));
}

void CCatalogWindow::CatalogueLoaded(const CatalogueLoad& load)
{
    const ScanReport& report = load.report;
    m_progress->hide();
    m_cancel->hide();
    QString status;
    if (report.added + report.changed + report.removed > 0 || !report.unreadable.empty())
        status += tr("：新增 %1，更新 %2，移除 %3，无法读取 %4")
                      .arg(report.added)
                      .arg(report.changed)
                      .arg(report.removed)
                      .arg(report.unreadable.size());
    if (!report.unreadableFolders.empty())
        status += tr("，无法读取的文件夹 %1").arg(report.unreadableFolders.size());
    if (report.cancelled)
        status += tr("（扫描已取消）");
    m_scanReport = status;
    const std::shared_ptr<const CCatalogIndex> loaded = m_parts.catalogue.Index();
    ShowSongCount(loaded ? loaded->Size() : 0);
    // The first few of each, named as they are shown.
    QStringList details;
    const auto list = [this, &details](const QString& heading, const std::vector<std::filesystem::path>& paths) {
        if (paths.empty())
            return;
        QStringList names;
        for (size_t index = 0; index < paths.size() && index < 50; ++index)
            names.append(ToQString(m_parts.catalog.names.Text(PathToUtf16(paths[index]))));
        details.append(heading + QLatin1Char('\n') + names.join(QLatin1Char('\n')));
    };
    list(tr("无法读取的文件夹（其中的歌曲保持原样）："), report.unreadableFolders);
    list(tr("无法读取的文件："), report.unreadable);
    m_status->setToolTip(details.join(QStringLiteral("\n\n")));
    if (!load.error.empty())
        m_parts.prompts.ShowError(CaptionError(), load.error);
    UpdateResults();
    emit catalogueReady();
}

void CCatalogWindow::SharedCatalogueReached(bool reached, const std::u16string& why)
{
    m_offline->setVisible(!reached);
    if (!reached)
        m_offline->setText(tr("歌库离线：%1\n搜索的是上次载入的歌曲，点唱次数连上后送出。").arg(ToQString(why)));
}

} // namespace linlangok
