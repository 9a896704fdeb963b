#include "core/session/SongLoudness.h"

#include <algorithm>

namespace linlangok {

double SongLevelingGainDb(ESongKind kind, const std::optional<LoudnessMeasure>& measure)
{
    if (measure)
        return LevelingGainDb(measure->integratedLufs);
    return LevelingGainDb(kind == ESongKind::Midi ? kTypicalMidiLufs : kTypicalAudioLufs);
}

CLoudnessAnalysisQueue::CLoudnessAnalysisQueue(
    ISongLoudnessAnalyser& analyser, IUiThreadPoster& uiThread, ResultHandler onResult)
    : m_analyser(analyser)
    , m_uiThread(uiThread)
    , m_onResult(std::move(onResult))
    , m_worker(kMaximumWaiting, [&analyser] { analyser.EnterBackgroundThread(); })
{
}

CLoudnessAnalysisQueue::~CLoudnessAnalysisQueue() = default;

void CLoudnessAnalysisQueue::Request(const std::filesystem::path& path, ESongKind kind, const SongIdentity& song)
{
    m_worker.Request(song, [this, path, kind, song](std::stop_token stop) { return Analyse(path, kind, song, stop); });
}

CLatestFirstWorker<SongIdentity>::Delivery CLoudnessAnalysisQueue::Analyse(
    const std::filesystem::path& path, ESongKind kind, const SongIdentity& song, std::stop_token stop)
{
    std::optional<LoudnessMeasure> measure = m_analyser.Analyse(path, kind, stop);
    // A file changed meanwhile is another song, to be measured when it is asked for.
    if (stop.stop_requested() || IdentifySong(path) != song)
        return {};
    return [this, song, measure] {
        m_uiThread.Post([alive = std::weak_ptr(m_alive), song, measure] {
            if (const auto queue = alive.lock())
                (*queue)->m_onResult(song, measure);
        });
    };
}

} // namespace linlangok
