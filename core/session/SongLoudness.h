#pragma once

#include "common/LatestFirstWorker.h"
#include "common/SongKind.h"
#include "common/UiThreadPoster.h"
#include "core/loudness/Loudness.h"
#include "core/session/SongMemory.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace linlangok {

// The loudness of a typical song of each kind, for a song not yet measured: a MIDI song through
// the built-in synthesizer at its default gain (the demo song −32.5 LUFS, the benchmarks' dense
// song −33.2 through TimGM6mb), and a mastered MP3 (pop masters lie between −8 and −14 LUFS).
inline constexpr double kTypicalMidiLufs = -33.0;
inline constexpr double kTypicalAudioLufs = -11.0;

// The leveling gain (dB) of a song of the kind: from its measure when known, else from the
// typical loudness of its kind.
double SongLevelingGainDb(ESongKind kind, const std::optional<LoudnessMeasure>& measure);

// Measures songs: an audio file from its decoded samples, a MIDI file from a render through the
// built-in synthesizer. The program's main makes one and hands it down.
class ISongLoudnessAnalyser {
public:
    virtual ~ISongLoudnessAnalyser() = default;

    // The song's measure, or nothing when it cannot be read, is silence or `stop` was requested.
    // Shows nothing. One call at a time.
    virtual std::optional<LoudnessMeasure> Analyse(
        const std::filesystem::path& song, ESongKind kind, std::stop_token stop)
        = 0;

    // Called once by a thread that will analyse in the background, before its first Analyse.
    virtual void EnterBackgroundThread() { }
};

// Measures the songs asked for on a thread of its own, the song asked for last first, and hands
// each result to the UI thread. Destroying the queue stops the analysis that runs; results not
// yet delivered are dropped.
class CLoudnessAnalysisQueue {
public:
    // On the UI thread: the song's measure, or nothing when it has none.
    using ResultHandler = std::function<void(const SongIdentity& song, const std::optional<LoudnessMeasure>& measure)>;

    // Songs waiting beyond this many are forgotten, those asked for longest ago first.
    static constexpr size_t kMaximumWaiting = 32;

    // The analyser and the poster outlive the queue.
    CLoudnessAnalysisQueue(ISongLoudnessAnalyser& analyser, IUiThreadPoster& uiThread, ResultHandler onResult);
    ~CLoudnessAnalysisQueue();

    CLoudnessAnalysisQueue(const CLoudnessAnalysisQueue&) = delete;
    CLoudnessAnalysisQueue& operator=(const CLoudnessAnalysisQueue&) = delete;

    // UI thread. A song that waits or is being measured is not measured twice. A result is
    // handed over only when the file is still the song it was asked for as.
    void Request(const std::filesystem::path& path, ESongKind kind, const SongIdentity& song);

private:
    // The measure's handing over to the UI thread; nothing when stopped or the file changed.
    CLatestFirstWorker<SongIdentity>::Delivery Analyse(
        const std::filesystem::path& path, ESongKind kind, const SongIdentity& song, std::stop_token stop);

    ISongLoudnessAnalyser& m_analyser;
    IUiThreadPoster& m_uiThread;
    ResultHandler m_onResult;
    // Results posted to the UI thread reach the handler only while the queue lives.
    std::shared_ptr<CLoudnessAnalysisQueue*> m_alive = std::make_shared<CLoudnessAnalysisQueue*>(this);
    CLatestFirstWorker<SongIdentity> m_worker; // stopped and joined first
};

} // namespace linlangok
