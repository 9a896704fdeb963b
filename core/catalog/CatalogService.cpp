#include "core/catalog/CatalogService.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/catalog/CatalogCache.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <optional>

namespace linlangok {
namespace {

// How long the follower waits for notices before it sends the plays counted meanwhile.
constexpr std::chrono::milliseconds kFollowWait {250};
// How long it waits before it tries an away server again.
constexpr std::chrono::seconds kReconnectWait {1};
// How often at most the cache is written anew while changes come, so that a room started while the
// server is away has the songs of the others' scans but for the last seconds'.
constexpr std::chrono::seconds kCacheInterval {5};
// How often the counts are read in whole, for a notice lost with another room's connection.
constexpr std::chrono::seconds kRecountInterval {60};

} // namespace

struct CCatalogService::Handover {
    std::atomic<size_t> done = 0;
    std::atomic<size_t> total = 0;
    std::atomic<bool> progressPosted = false; // a progress task waits to run
    std::atomic<bool> closing = false; // the service is going: the worker loads nothing
    std::mutex lock;
    std::optional<Outcome> outcome;
};

CCatalogService::CCatalogService(const CatalogServiceParts& parts)
    : m_parts(parts)
    , m_handover(std::make_shared<Handover>())
{
    if (m_parts.shared.connect)
        m_follower = std::jthread([this](std::stop_token stop) { Follow(stop); });
}

CCatalogService::~CCatalogService()
{
    m_handover->closing = true;
    m_worker = {};
    m_follower = {};
}

void CCatalogService::AddListener(ICatalogListener& listener)
{
    m_listeners.push_back(&listener);
}

void CCatalogService::RemoveListener(ICatalogListener& listener)
{
    std::erase(m_listeners, &listener);
}

bool CCatalogService::Refresh(bool rescan)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_loading = true;
    m_handover->done = 0;
    m_handover->total = 0;
    m_worker = std::jthread([this, rescan](std::stop_token stop) { Load(stop, rescan); });
    return true;
}

void CCatalogService::Cancel()
{
    m_worker.request_stop();
}

void CCatalogService::Finish()
{
    m_worker = {};
    Deliver();
}

std::shared_ptr<const CCatalogIndex> CCatalogService::Index() const
{
    const std::lock_guard lock(m_indexLock);
    return m_index;
}

void CCatalogService::CountSung(std::int64_t id)
{
    const std::shared_ptr<const CCatalogIndex> index = Index();
    if (!index || !index->Find(id))
        return;
    auto counted = std::make_shared<CCatalogIndex>(*index);
    counted->CountSung(id);
    Publish(std::move(counted));
}

void CCatalogService::KeepBestScore(std::int64_t id, std::int32_t score)
{
    const std::shared_ptr<const CCatalogIndex> index = Index();
    if (!index || !index->Find(id) || index->BestScore(id) >= score)
        return;
    auto kept = std::make_shared<CCatalogIndex>(*index);
    kept->KeepBestScore(id, score);
    Publish(std::move(kept));
}

// Worker thread.
void CCatalogService::Load(std::stop_token stop, bool rescan)
{
    Outcome outcome;
    outcome.load.scanned = rescan;
    try {
        const std::unique_ptr<ICatalogStore> store
            = m_parts.shared.connect ? m_parts.shared.connect(stop) : m_parts.openStore();
        if (rescan) {
            const std::unique_ptr<ISongReader> reader = m_parts.makeReader();
            CCatalogScanner scanner(*store, *reader, m_parts.folding, m_parts.pinyin, m_parts.names);
            outcome.load.report = scanner.Scan(stop, [this](size_t done, size_t total) { PostProgress(done, total); });
        }
        if (m_handover->closing)
            return;
        auto index = std::make_shared<CCatalogIndex>(m_parts.folding);
        std::vector<CatalogSong> songs = store->LoadSongs();
        index->Build(std::move(songs), store->LoadedRevision());
        if (m_parts.shared.connect)
            SaveCache(*index);
        outcome.index = std::move(index);
    } catch (const std::exception& failure) {
        outcome.load.error = Utf8ToUtf16(failure.what());
        // A room whose server is away searches the songs it loaded last.
        std::optional<CatalogSnapshot> cached;
        if (m_parts.shared.connect && !rescan && !Index())
            cached = LoadCatalogCache(m_parts.shared.cacheFile);
        if (cached) {
            auto index = std::make_shared<CCatalogIndex>(m_parts.folding);
            index->Build(std::move(cached->songs), cached->revision);
            outcome.index = std::move(index);
            outcome.load.error.clear();
        }
    }
    {
        const std::lock_guard lock(m_handover->lock);
        m_handover->outcome = std::move(outcome);
    }
    m_parts.uiThread.Post([this, handover = std::weak_ptr(m_handover)] {
        if (handover.lock())
            Deliver();
    });
}

// Worker thread. One progress task waits at a time, and tells the latest figures when it runs.
void CCatalogService::PostProgress(size_t done, size_t total)
{
    m_handover->done = done;
    m_handover->total = total;
    if (m_handover->progressPosted.exchange(true))
        return;
    m_parts.uiThread.Post([this, weak = std::weak_ptr(m_handover)] {
        const std::shared_ptr<Handover> handover = weak.lock();
        if (!handover)
            return;
        handover->progressPosted = false;
        if (!m_busy)
            return;
        for (size_t i = 0; i < m_listeners.size(); ++i)
            m_listeners[i]->ScanProgressed(handover->done, handover->total);
    });
}

void CCatalogService::Deliver()
{
    std::optional<Outcome> outcome;
    {
        const std::lock_guard lock(m_handover->lock);
        outcome.swap(m_handover->outcome);
    }
    if (!outcome)
        return;
    m_worker = {};
    m_busy = false;
    m_loading = false;
    m_loadEnded = true;
    if (outcome->index)
        Publish(std::move(outcome->index));
    for (size_t i = 0; i < m_listeners.size(); ++i)
        m_listeners[i]->CatalogueLoaded(outcome->load);
}

void CCatalogService::Publish(std::shared_ptr<const CCatalogIndex> index)
{
    {
        const std::lock_guard lock(m_indexLock);
        m_index = index;
    }
    for (size_t i = 0; i < m_listeners.size(); ++i)
        m_listeners[i]->IndexChanged(index);
}

void CCatalogService::SaveCache(const CCatalogIndex& index)
{
    if (SaveCatalogCache(m_parts.shared.cacheFile, {index.Revision(), index.AllSongs()}))
        m_cachedRevision = index.Revision();
}

void CCatalogService::Propose(std::shared_ptr<const CCatalogIndex> base, std::shared_ptr<const CCatalogIndex> next)
{
    m_proposing = true;
    m_parts.uiThread.Post([this, handover = std::weak_ptr(m_handover), base, next] {
        if (!handover.lock())
            return;
        if (Index() == base && !m_busy)
            Publish(next);
        else
            m_refused = true;
        m_proposing = false;
    });
}

void CCatalogService::PostReached(bool reached, const std::u16string& why)
{
    m_parts.uiThread.Post([this, handover = std::weak_ptr(m_handover), reached, why] {
        if (!handover.lock())
            return;
        const std::u16string reason = reached ? std::u16string()
            : why.empty()                     ? Tr("CCatalogService", "歌库服务器无法连接")
                                              : why;
        if (reason == m_offlineReason)
            return;
        m_offlineReason = reason;
        for (size_t i = 0; i < m_listeners.size(); ++i)
            m_listeners[i]->SharedCatalogueReached(reached, m_offlineReason);
    });
}

void CCatalogService::Follow(std::stop_token stop)
{
    std::unique_ptr<ISharedCatalogStore> store;
    bool songsChanged = true; // since the index was made, as far as the follower knows
    bool recount = true; // the counts are to be read in whole
    std::vector<SongCount> told;
    auto cached = std::chrono::steady_clock::now();
    auto recounted = cached;
    std::mutex sleepLock;
    std::condition_variable_any sleeper;
    while (!stop.stop_requested()) {
        try {
            if (!store) {
                store = m_parts.shared.connect(stop);
                store->Listen();
                PostReached(true, {});
                songsChanged = recount = true;
            }
            if (m_parts.shared.pendingCounts)
                SendPendingCounts(*m_parts.shared.pendingCounts, *store);
            if (m_refused.exchange(false))
                songsChanged = recount = true;
            if (recount) {
                told = store->LoadCounts();
                recount = false;
            }
            const std::shared_ptr<const CCatalogIndex> base = Index();
            // Until the first load has ended, it is that load's to make the index.
            if (!m_proposing && !m_loading && m_loadEnded && (songsChanged || !told.empty())) {
                std::shared_ptr<CCatalogIndex> next;
                bool changed = !base;
                if (!base) {
                    next = std::make_shared<CCatalogIndex>(m_parts.folding);
                    std::vector<CatalogSong> songs = store->LoadSongs();
                    next->Build(std::move(songs), store->LoadedRevision());
                } else if (songsChanged) {
                    const CatalogDelta delta = store->ChangesSince(base->Revision());
                    changed = !delta.songs.empty() || !delta.removed.empty() || delta.revision != base->Revision();
                    next = base->Applied(delta);
                } else {
                    next = std::make_shared<CCatalogIndex>(*base);
                }
                if (next->RaiseCounts(told) || changed)
                    Propose(base, std::move(next));
                songsChanged = false;
                told.clear();
            }
            const CatalogNotices notices = store->WaitForNotices(kFollowWait);
            songsChanged = songsChanged || notices.songsChanged;
            told.insert(told.end(), notices.counts.begin(), notices.counts.end());
        } catch (const std::exception& failure) {
            store.reset();
            PostReached(false, Utf8ToUtf16(failure.what()));
            std::unique_lock lock(sleepLock);
            sleeper.wait_for(lock, stop, kReconnectWait, [] { return false; });
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - cached > kCacheInterval) {
            const std::shared_ptr<const CCatalogIndex> index = Index();
            if (index && index->Revision() != m_cachedRevision)
                SaveCache(*index);
            cached = now;
        }
        if (now - recounted > kRecountInterval) {
            recounted = now;
            recount = true;
        }
    }
}

} // namespace linlangok
