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
{
}

CLoudnessAnalysisQueue::~CLoudnessAnalysisQueue()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void CLoudnessAnalysisQueue::Request(const std::filesystem::path& path, ESongKind kind, const SongIdentity& song)
{
    {
        std::lock_guard lock(m_lock);
        if (m_measuring == song)
            return;
        std::erase_if(m_waiting, [&song](const Job& job) { return job.song == song; });
        m_waiting.push_back({path, kind, song});
        if (m_waiting.size() > kMaximumWaiting)
            m_waiting.pop_front();
    }
    if (!m_thread.joinable())
        m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
    m_wake.notify_one();
}

void CLoudnessAnalysisQueue::Run(std::stop_token stop)
{
    m_analyser.EnterBackgroundThread();
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_lock);
            if (!m_wake.wait(lock, stop, [this] { return !m_waiting.empty(); }))
                return;
            job = std::move(m_waiting.back());
            m_waiting.pop_back();
            m_measuring = job.song;
        }
        std::optional<LoudnessMeasure> measure = m_analyser.Analyse(job.path, job.kind, stop);
        if (stop.stop_requested())
            return;
        // A file changed meanwhile is another song, to be measured when it is asked for.
        if (IdentifySong(job.path) == job.song) {
            m_uiThread.Post([alive = std::weak_ptr(m_alive), song = job.song, measure] {
                if (const auto queue = alive.lock())
                    (*queue)->m_onResult(song, measure);
            });
        }
        std::lock_guard lock(m_lock);
        m_measuring.reset();
    }
}

} // namespace linlangok
