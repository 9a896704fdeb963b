#pragma once

#include "common/FilePath.h"
#include "common/UiThreadPoster.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/PendingCounts.h"
#include "core/catalog/SharedCatalog.h"
#include "core/catalog/SongReader.h"
#include "core/catalog/TextReadings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {

// A venue's catalogue that the rooms share. The service then follows the changes others make (the
// index is changed, not loaded anew), keeps the index it loaded last in the cache file to search
// while the server is away, and sends the plays counted that the pending counts keep. All of it
// outlives the service.
struct SharedCatalogParts {
    // Empty: not shared. The attempt gives up when the token is stopped, so that the service ends
    // without waiting for a server that does not answer.
    std::function<std::unique_ptr<ISharedCatalogStore>(std::stop_token)> connect;
    std::filesystem::path cacheFile;
    CPendingCounts* pendingCounts = nullptr;
};

// What the catalogue service works with. The factories make a store connection and a song reader
// for its worker thread; folding and pinyin are shared with it (they are thread-safe). All of it
// outlives the service.
struct CatalogServiceParts {
    std::function<std::unique_ptr<ICatalogStore>()> openStore;
    std::function<std::unique_ptr<ISongReader>()> makeReader;
    ITextFolding& folding;
    IPinyin& pinyin;
    const CPathDisplay& names; // how file names that are not UTF-8 read
    IUiThreadPoster& uiThread; // where the listeners are told
    SharedCatalogParts shared = {};
};

// How a load ended.
struct CatalogueLoad {
    bool scanned = false; // the song folders were scanned first
    ScanReport report; // of the scan; empty when there was none
    // Why the store could not be read or written, for the user; the index stays the one before.
    std::u16string error;
};

// Told on the UI thread of what the catalogue service does.
class ICatalogListener {
public:
    virtual ~ICatalogListener() = default;
    // A new index is published: one loaded, or one with a play counted.
    virtual void IndexChanged(const std::shared_ptr<const CCatalogIndex>&) { }
    // The scan has read done of the total files it has to read.
    virtual void ScanProgressed(size_t, size_t) { }
    // A load has ended; when it loaded, IndexChanged came first.
    virtual void CatalogueLoaded(const CatalogueLoad&) { }
    // A shared catalogue's server was reached again, or not (why, for the user): the index stays.
    virtual void SharedCatalogueReached(bool, const std::u16string&) { }
};

// The program's one catalogue in memory. It loads the songs from the store on a worker thread of
// its own, scanning the song folders first when asked, and publishes them as an index that is
// never changed afterwards: a play counted publishes a copy with the count (cheap, see
// CCatalogIndex). Whoever searches (the 点歌 window, the phones, serve) takes the index published
// last, so that all rank alike. UI thread, but for Index().
class CCatalogService {
public:
    explicit CCatalogService(const CatalogServiceParts& parts);
    // Cancels a scan and waits for the worker, which then skips its load; listeners are not told.
    ~CCatalogService();

    CCatalogService(const CCatalogService&) = delete;
    CCatalogService& operator=(const CCatalogService&) = delete;

    // Listeners are told in the order added until removed; each outlives its registration.
    void AddListener(ICatalogListener& listener);
    void RemoveListener(ICatalogListener& listener);

    // Loads the catalogue in the background, scanning the song folders first when rescan is
    // set. False, and nothing started, while a load runs.
    bool Refresh(bool rescan);
    // From Refresh until the listeners have been told how it ended.
    bool IsBusy() const { return m_busy; }
    // 取消: the scan stops soon and keeps what it has stored; the songs are loaded as they are.
    void Cancel();
    // Cancels the scan, waits for the worker and tells its end at once, so that the song
    // folders may change without a scan running on.
    void Finish();

    // Any thread: the index published last; null before the first load.
    std::shared_ptr<const CCatalogIndex> Index() const;
    // Counts a play of the song for the ranking: publishes a new index.
    void CountSung(std::int64_t id);
    // A room's score of the song: publishes a new index when it beats the best.
    void KeepBestScore(std::int64_t id, std::int32_t score);
    // A shared catalogue's server is away (as last told); why, for the user. False for one machine's.
    bool IsOffline() const { return !m_offlineReason.empty(); }
    const std::u16string& OfflineReason() const { return m_offlineReason; }

private:
    struct Outcome {
        std::shared_ptr<const CCatalogIndex> index; // null when loading failed
        CatalogueLoad load;
    };
    // What the worker hands to the UI thread. Posted tasks hold it weakly: one that runs after
    // the service is gone finds it gone.
    struct Handover;

    void Load(std::stop_token stop, bool rescan);
    void PostProgress(size_t done, size_t total);
    // On the UI thread: publishes the worker's outcome, when there is one.
    void Deliver();
    void Publish(std::shared_ptr<const CCatalogIndex> index);
    // The shared catalogue's follower thread: sends the plays kept, waits for notices and applies the
    // changes to the index, reconnecting while the server is away.
    void Follow(std::stop_token stop);
    // Offers the index made from base to the UI thread, which publishes it while base is the index.
    void Propose(std::shared_ptr<const CCatalogIndex> base, std::shared_ptr<const CCatalogIndex> next);
    void PostReached(bool reached, const std::u16string& why);
    void SaveCache(const CCatalogIndex& index);

    CatalogServiceParts m_parts;
    std::vector<ICatalogListener*> m_listeners;
    bool m_busy = false;
    mutable std::mutex m_indexLock;
    std::shared_ptr<const CCatalogIndex> m_index;
    std::shared_ptr<Handover> m_handover;
    std::u16string m_offlineReason;
    std::atomic<bool> m_loading = false; // m_busy, for the follower
    std::atomic<bool> m_loadEnded = false; // a load has ended once
    std::atomic<bool> m_proposing = false; // a proposal waits for the UI thread
    std::atomic<bool> m_refused = false; // the last was refused: the index had changed
    std::atomic<std::int64_t> m_cachedRevision = -1;
    // Last: stopped and joined before anything they use goes.
    std::jthread m_worker;
    std::jthread m_follower;
};

} // namespace linlangok
