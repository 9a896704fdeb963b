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
    m_worker.Request(song, [this, path, song, layout](std::stop_token stop) { Find(path, song, layout, stop); });
}

void CVideoMelodyQueue::Find(const std::filesystem::path& path, const SongIdentity& song,
    const std::optional<VocalLayout>& layout, std::stop_token stop)
{
    const VocalLayout used = layout ? *layout : m_deriver.DefaultLayout(path);
    std::optional<KeptMelody> kept = m_store.Recall(song);
    if (!kept || kept->layout != used) {
        std::optional<VocalMelodyResult> result = m_deriver.Derive(path, used, stop);
        // A file changed meanwhile is another song, to be derived when it is asked for.
        if (!result || stop.stop_requested() || IdentifySong(path) != song)
            return;
        kept = KeptMelody {used, std::move(*result)};
        m_store.Keep(song, *kept);
    }
    m_uiThread.Post([alive = std::weak_ptr(m_alive), song, result = std::move(kept->result)] {
        if (const auto queue = alive.lock())
            (*queue)->m_onResult(song, result);
    });
}

} // namespace linlangok
