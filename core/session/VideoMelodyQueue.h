#pragma once

#include "common/LatestFirstWorker.h"
#include "common/UiThreadPoster.h"
#include "core/identity/SongIdentity.h"
#include "core/session/MelodyStore.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace linlangok {

// Derives a video song's melody from its original vocal and its backing (DeriveVocalMelody over
// its decoded sound). The program's main makes one and hands it down.
class IVideoMelodyDeriver {
public:
    virtual ~IVideoMelodyDeriver() = default;

    // The melody of the video's sound as `layout` lays it out, or the verdict why there is none
    // (Unreadable when the file cannot be decoded); nothing when `stop` was requested. Shows
    // nothing, never throws. One call at a time.
    virtual std::optional<VocalMelodyResult> Derive(
        const std::filesystem::path& video, const VocalLayout& layout, std::stop_token stop)
        = 0;
    // The layout of a video by its tracks (DefaultVocalLayout), for a song that remembers none.
    // Unreadable files: the default of one track.
    virtual VocalLayout DefaultLayout(const std::filesystem::path& video) = 0;

    // Called once by a thread that will derive in the background, before its first Derive.
    virtual void EnterBackgroundThread() { }
};

// The melody of the video `path` (the song `song`) by `layout`: the one kept in the store when it
// was derived by that layout, else derived and kept. Nothing when `stop` was requested or the file
// is no longer that song.
std::optional<VocalMelodyResult> FindVideoMelody(IVideoMelodyDeriver& deriver, const CMelodyStore& store,
    const std::filesystem::path& path, const SongIdentity& song, const VocalLayout& layout, std::stop_token stop);

// A video song as the catalogue knows it.
struct CataloguedVideo {
    std::filesystem::path path;
    SongIdentity song;
};

// Finds the melodies of the video songs asked for on a thread of its own, the song asked for
// last first: the one kept in the store when it was derived by the same layout, else derived and
// kept (all but an Unreadable verdict, which is derived again when asked for again). Each result
// is handed to the UI thread. When nothing is asked for, the catalogue's videos that have nothing
// kept are derived by their default layout, one at a time, each stopped by the next request and
// derived again after it. Destroying the queue stops the derivation that runs; results not yet
// delivered are dropped.
class CVideoMelodyQueue {
public:
    // On the UI thread: what was found for the song.
    using ResultHandler = std::function<void(const SongIdentity& song, const VocalMelodyResult& result)>;

    // Songs waiting beyond this many are forgotten, those asked for longest ago first.
    static constexpr size_t kMaximumWaiting = 32;

    // The deriver, the store and the poster outlive the queue.
    CVideoMelodyQueue(
        IVideoMelodyDeriver& deriver, const CMelodyStore& store, IUiThreadPoster& uiThread, ResultHandler onResult);
    ~CVideoMelodyQueue();

    CVideoMelodyQueue(const CVideoMelodyQueue&) = delete;
    CVideoMelodyQueue& operator=(const CVideoMelodyQueue&) = delete;

    // UI thread. `layout`: the song's remembered one (FitVocalLayout), or nothing for the
    // default of its tracks. A song that waits or is being derived is not derived twice. A
    // derived result is kept and handed over only when the file is still the song it was asked
    // for as.
    void Request(const std::filesystem::path& path, const SongIdentity& song,
        const std::optional<VocalLayout>& layout = std::nullopt);

    // On the queue's thread: the next catalogued video to derive when idle, or nothing when every
    // one has been offered.
    using CatalogueWalk = std::function<std::optional<CataloguedVideo>()>;
    // Set once, before the first request: derives the catalogue's videos when idle.
    void DeriveCatalogue(CatalogueWalk walk);
    // The catalogue has new songs for the walk.
    void CatalogueChanged() { m_worker.WakeIdle(); }

private:
    // The result's handing over to the UI thread; nothing when stopped or the file changed.
    CLatestFirstWorker<SongIdentity>::Delivery Find(const std::filesystem::path& path, const SongIdentity& song,
        const std::optional<VocalLayout>& layout, std::stop_token stop);
    // The job of the next catalogued video with nothing kept, or nothing when there is none.
    std::optional<CLatestFirstWorker<SongIdentity>::Job> NextCatalogueJob(const CatalogueWalk& walk);

    IVideoMelodyDeriver& m_deriver;
    const CMelodyStore& m_store;
    IUiThreadPoster& m_uiThread;
    ResultHandler m_onResult;
    // Results posted to the UI thread reach the handler only while the queue lives.
    std::shared_ptr<CVideoMelodyQueue*> m_alive = std::make_shared<CVideoMelodyQueue*>(this);
    CLatestFirstWorker<SongIdentity> m_worker; // stopped and joined first
};

} // namespace linlangok
