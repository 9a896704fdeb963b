#include "core/session/VideoMelodyQueue.h"

namespace linlangok {

CVideoMelodyQueue::CVideoMelodyQueue(
    IVideoMelodyDeriver& deriver, const CMelodyStore& store, IUiThreadPoster& uiThread, ResultHandler onResult)
    : m_deriver(deriver)
    , m_store(store)
    , m_uiThread(uiThread)
    , m_onResult(std::move(onResult))
    , m_worker(kMaximumWaiting, [&deriver] { deriver.EnterBackgroundThread(); })
{
}

CVideoMelodyQueue::~CVideoMelodyQueue() = default;

void CVideoMelodyQueue::Request(
    const std::filesystem::path& path, const SongIdentity& song, const std::optional<VocalLayout>& layout)
{
    m_worker.Request(song, [this, path, song, layout](std::stop_token stop) { return Find(path, song, layout, stop); });
}

void CVideoMelodyQueue::DeriveCatalogue(CatalogueWalk walk)
{
    m_worker.SetIdleSource([this, walk = std::move(walk)] { return NextCatalogueJob(walk); });
    m_worker.WakeIdle();
}

std::optional<CLatestFirstWorker<SongIdentity>::Job> CVideoMelodyQueue::NextCatalogueJob(const CatalogueWalk& walk)
{
    for (std::optional<CataloguedVideo> video = walk(); video; video = walk()) {
        if (m_store.Recall(video->song))
            continue;
        return [this, video = std::move(*video)](std::stop_token stop) {
            FindVideoMelody(m_deriver, m_store, video.path, video.song, m_deriver.DefaultLayout(video.path), stop);
            return CLatestFirstWorker<SongIdentity>::Delivery {};
        };
    }
    return std::nullopt;
}

std::optional<VocalMelodyResult> FindVideoMelody(IVideoMelodyDeriver& deriver, const CMelodyStore& store,
    const std::filesystem::path& path, const SongIdentity& song, const VocalLayout& layout, std::stop_token stop)
{
    std::optional<KeptMelody> kept = store.Recall(song);
    if (kept && kept->layout == layout)
        return std::move(kept->result);
    std::optional<VocalMelodyResult> result = deriver.Derive(path, layout, stop);
    // A file changed meanwhile is another song, to be derived when it is asked for.
    if (!result || stop.stop_requested() || IdentifySong(path) != song)
        return std::nullopt;
    store.Keep(song, {layout, *result});
    return result;
}

CLatestFirstWorker<SongIdentity>::Delivery CVideoMelodyQueue::Find(const std::filesystem::path& path,
    const SongIdentity& song, const std::optional<VocalLayout>& layout, std::stop_token stop)
{
    std::optional<VocalMelodyResult> found
        = FindVideoMelody(m_deriver, m_store, path, song, layout ? *layout : m_deriver.DefaultLayout(path), stop);
    if (!found)
        return {};
    return [this, song, result = std::move(*found)] {
        m_uiThread.Post([alive = std::weak_ptr(m_alive), song, result] {
            if (const auto queue = alive.lock())
                (*queue)->m_onResult(song, result);
        });
    };
}

} // namespace linlangok
