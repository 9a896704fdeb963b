#pragma once

#include "common/FilePath.h"
#include "common/UserPrompts.h"
#include "core/catalog/CatalogService.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/SongPicker.h"
#include "core/catalog/SongReader.h"
#include "ui/catalog/SongFoldersDialog.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace linlangok {

class CSearchResultsModel;

// The catalogue's platform services, made once by main. The factories make a store connection
// and a song reader for the catalogue service's worker; folding and pinyin are shared with it
// (they are thread-safe).
struct CatalogServices {
    ICatalogStore& store; // the UI thread's connection
    std::function<std::unique_ptr<ICatalogStore>()> openStore;
    std::function<std::unique_ptr<ISongReader>()> makeReader;
    ITextFolding& folding;
    IPinyin& pinyin;
    const CPathDisplay& names; // how file names that are not UTF-8 read
    std::filesystem::path queueFile;
    SharedCatalogParts shared = {}; // a venue's catalogue the rooms share; empty for one machine's
    CatalogConnectionParts connection = {}; // how 歌库 chooses the catalogue of the next start
};

// The catalogue service's parts from the platform's services.
CatalogServiceParts CatalogueParts(const CatalogServices& catalog, IUiThreadPoster& uiThread);

struct CatalogWindowParts {
    CSongPicker& picker;
    CCatalogService& catalogue; // shared with the phones
    const CatalogServices& catalog;
    IUserPrompts& prompts;
    std::function<bool()> nothingPlays; // nothing plays or records
};

// 点歌 and 已点歌曲 side by side: a search box whose results follow every keystroke (title with
// the song's cover where it has one, singer, kind, length), filters by singer and kind, 点歌 / 优先 / 播放
// (double-click or Enter = 点歌); the queue with drag to reorder, 优先, 删除, 切歌 and 连续播放; 歌库... adds and
// removes song folders (CSongFoldersDialog) and scans in the background with a progress bar and 取消; the status line
// counts what the scan could not read, and its tooltip names it. The catalogue service loads and scans; the results
// search the index it published last. Keyboard first: type, Up/Down move in the results, Enter picks.
class CCatalogWindow final : public QWidget, private ICatalogListener {
    Q_OBJECT
public:
    explicit CCatalogWindow(const CatalogWindowParts& parts, QWidget* parent = nullptr);
    ~CCatalogWindow() override;

    // Loads the catalogue (and rescans its folders when rescan is set) in the background.
    void Refresh(bool rescan);
    bool IsBusy() const { return m_parts.catalogue.IsBusy(); }
    QLineEdit* SearchBox() const { return m_search; }
    QTreeView* Results() const { return m_results; }
    QListWidget* QueueList() const { return m_queue; }

signals:
    // The background load or scan has finished and the results show the new catalogue.
    void catalogueReady();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void UpdateResults();
    // The status line: the songs in the catalogue, and what the last scan did.
    void ShowSongCount(size_t songs);
    void UpdateQueue();
    const CatalogSong* SelectedSong() const;
    void PickSelected();
    // 歌库...: the song folders' dialog, after which the catalogue is scanned again when they
    // changed.
    void EditFolders();
    void ScanProgressed(size_t done, size_t total) override;
    void CatalogueLoaded(const CatalogueLoad& load) override;
    // Another room's scan of a venue's catalogue shows in the results at once, the chosen song kept
    // chosen; a play counted (no new revision) leaves them as they are.
    void IndexChanged(const std::shared_ptr<const CCatalogIndex>& index) override;
    // A venue's catalogue: while its server is away, a line says so, and why.
    void SharedCatalogueReached(bool reached, const std::u16string& why) override;

    CatalogWindowParts m_parts;
    CSearchResultsModel* m_shown = nullptr;
    QLineEdit* m_search = nullptr;
    QLineEdit* m_singer = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_performer = nullptr;
    QTreeView* m_results = nullptr;
    QListWidget* m_queue = nullptr;
    QCheckBox* m_continuous = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_status = nullptr;
    QString m_scanReport; // after the count in the status line
    QLabel* m_offline = nullptr;
    std::int64_t m_shownRevision = 0; // of the index the results were searched in
    size_t m_queueListener = 0;
};

} // namespace linlangok
