#pragma once

#include "common/FilePath.h"
#include "common/UserPrompts.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/SongPicker.h"
#include "core/catalog/SongReader.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace linlangok {

class CSearchResultsModel;

// The catalogue's platform services, made once by main. The factories make a store connection
// and a song reader for the scanning thread; folding and pinyin are shared with it (they are
// thread-safe).
struct CatalogServices {
    ICatalogStore& store; // the UI thread's connection
    std::function<std::unique_ptr<ICatalogStore>()> openStore;
    std::function<std::unique_ptr<ISongReader>()> makeReader;
    ITextFolding& folding;
    IPinyin& pinyin;
    const CPathDisplay& names; // how file names that are not UTF-8 read
    std::filesystem::path queueFile;
};

struct CatalogWindowParts {
    CSongPicker& picker;
    const CatalogServices& catalog;
    IUserPrompts& prompts;
    std::function<bool()> idle; // nothing plays or records
};

// 点歌 and 已点歌曲 side by side: a search box whose results follow every keystroke (title,
// singer, kind, length), filters by singer and kind, 点歌 / 优先 / 播放 (double-click or Enter =
// 点歌); the queue with drag to reorder, 优先, 删除, 切歌 and 连续播放; 歌库... adds and removes song
// folders (CSongFoldersDialog) and scans in the background with a progress bar and 取消; the
// status line counts what the scan could not read, and its tooltip names it. The catalogue is
// loaded and indexed off the UI thread too, and the new index replaces the old one on the UI
// thread. Keyboard first: type, Up/Down move in the results, Enter picks.
class CCatalogWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CCatalogWindow(const CatalogWindowParts& parts, QWidget* parent = nullptr);
    ~CCatalogWindow() override;

    // Loads the catalogue (and rescans its folders when rescan is set) in the background.
    void Refresh(bool rescan);
    // Adds a folder and scans.
    void AddFolder(const std::filesystem::path& folder);
    bool IsBusy() const { return m_busy; }
    const CCatalogIndex& Index() const { return *m_index; }
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
    void UpdateQueue();
    const CatalogSong* SelectedSong() const;
    void PickSelected();
    // 歌库...: the song folders' dialog, after which the catalogue is scanned again when they
    // changed.
    void EditFolders();
    // On the window's timer while the background work runs: its progress, and its outcome once
    // there is one. The worker hands both over through atomics and a lock alone, never through
    // an event it posts.
    void Poll();
    void Finished(std::unique_ptr<CCatalogIndex> index, const ScanReport& report, const QString& error);

    struct ScanOutcome {
        std::unique_ptr<CCatalogIndex> index; // null when loading failed
        ScanReport report;
        QString error;
    };

    CatalogWindowParts m_parts;
    std::unique_ptr<CCatalogIndex> m_index;
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
    QTimer* m_poll = nullptr;
    bool m_busy = false;
    size_t m_queueListener = 0;
    std::atomic<size_t> m_done = 0;
    std::atomic<size_t> m_total = 0;
    std::mutex m_outcomeLock;
    std::optional<ScanOutcome> m_outcome;
    // Last: stopped and joined before anything it posts to goes.
    std::jthread m_worker;
};

} // namespace linlangok
