#include "core/catalog/CatalogService.h"

#include "common/Text.h"

#include <atomic>
#include <exception>
#include <optional>

namespace linlangok {

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
}

CCatalogService::~CCatalogService()
{
    m_handover->closing = true;
    m_worker = {};
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

// Worker thread.
void CCatalogService::Load(std::stop_token stop, bool rescan)
{
    Outcome outcome;
    outcome.load.scanned = rescan;
    try {
        const std::unique_ptr<ICatalogStore> store = m_parts.openStore();
        if (rescan) {
            const std::unique_ptr<ISongReader> reader = m_parts.makeReader();
            CCatalogScanner scanner(*store, *reader, m_parts.folding, m_parts.pinyin, m_parts.names);
            outcome.load.report = scanner.Scan(stop, [this](size_t done, size_t total) { PostProgress(done, total); });
        }
        if (m_handover->closing)
            return;
        auto index = std::make_shared<CCatalogIndex>(m_parts.folding);
        index->Build(store->LoadSongs());
        outcome.index = std::move(index);
    } catch (const std::exception& failure) {
        outcome.load.error = Utf8ToUtf16(failure.what());
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

} // namespace linlangok
