#pragma once

#include "common/AutoResetEvent.h"
#include "common/SpscQueue.h"
#include "core/recording/WaveIn.h"
#include "core/scoring/PitchTracker.h"
#include "core/scoring/ScoringView.h"
#include "core/scoring/SingingScore.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace linlangok {

// Listens to the singer while a scored song plays. The input runs on a stream of its own with
// small buffers (as the level meter's, sharing the device's one capture stream with the recorder);
// the capture thread hands each buffer through a lock-free queue to the analysis thread and never
// waits for it. The analysis thread tracks the pitch and stamps each pitch with the steady-clock
// moment it was sung: when its window's middle reached the device, less the input latency the
// device reports and the calibration's correction. The UI thread takes the pitches, puts each at
// the song time the listener heard when it was sung, scores it and keeps the trace. A duet's two
// voices are scored apart: the first from the input's left channel, the second from its right (a
// two-microphone receiver's two singers; a mono microphone's one singer sings both).
class CLiveScoring final : private IWaveInClient {
public:
    static constexpr std::uint32_t kBufferBytes = 1024; // 256 frames, 5.8 ms
    static constexpr size_t kBuffers = 4;

    // What Start needs of the song and the devices.
    struct Song {
        ReferenceMelody melody;
        EDifficulty difficulty = EDifficulty::Normal;
        // Song seconds per second: the tempo (1.5 at 150 %).
        double songPerSecond = 1;
        // What the devices' reported input latency leaves of the round trip, as calibrated.
        double correctionSeconds = 0;
        // A duet's second voice; the first is `melody`.
        std::optional<ReferenceMelody> secondVoice;
    };

    // `system` outlives the scoring; `makeTracker` is called on the UI thread at each Start.
    CLiveScoring(IWaveInSystem& system, PitchTrackerFactory makeTracker);
    ~CLiveScoring() override;

    CLiveScoring(const CLiveScoring&) = delete;
    CLiveScoring& operator=(const CLiveScoring&) = delete;

    // UI thread: listens on `device` (kWaveMapper: the default input) and scores from now on. False
    // when the input cannot be opened or started, or no tracker made; nothing is scored then.
    bool Start(std::uint32_t device, Song song);
    // UI thread: stops listening and judges what was not yet judged; the song's score (of a duet,
    // the first voice's). Nothing when it was not listening.
    std::optional<SongScore> Stop();
    // A duet's second voice's score as the last Stop judged it; nothing for another song, or after
    // a Stop that stopped nothing.
    const std::optional<SongScore>& SecondVoiceResult() const { return m_secondVoiceResult; }
    bool IsListening() const { return m_scorers[0] != nullptr; }
    // While listening: the score over what has been judged so far (CSingingScorer::RunningScore).
    int RunningScore() const { return m_scorers[0] ? m_scorers[0]->RunningScore() : 0; }

    // UI thread: takes the pitches tracked since the last call, `heard` being the song time the
    // listener hears at `now`.
    void Update(double heard, std::chrono::steady_clock::time_point now);
    // UI thread, while listening: the lane's notes and trace around `heard` (of a duet, the first
    // voice's), the running score (and the second voice's) and the last line's word.
    ScoringView ViewAt(double heard) const;

    // Input the analysis could not keep up with, in samples (the queue was full).
    std::uint64_t DroppedSamples() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    // Where a captured buffer's first sample lies: its index in the stream, and when it reached the
    // device (steady seconds).
    struct Arrival {
        std::uint64_t sample = 0;
        double seconds = 0;
    };
    struct SungMoment {
        double steadySeconds = 0;
        float pitch = 0;
        std::uint8_t voice = 0;
    };

    void OnWaveInOpen() override { }
    void OnWaveInData(WaveInBuffer& buffer) override;
    void OnWaveInClose() override { }
    void Analyse(std::stop_token stop);
    // Analysis thread: the captured pairs into m_voices, the two sides apart for a duet, else
    // together.
    void SplitVoices(std::span<const float> stereo);
    void CloseInput();

    IWaveInSystem& m_system;
    PitchTrackerFactory m_makeTracker;
    std::unique_ptr<IWaveInHandle> m_handle;
    std::unique_ptr<std::uint8_t[]> m_memory;
    std::array<WaveInBuffer, kBuffers> m_headers;
    std::mutex m_runningLock; // the running flag against the capture thread's requeue
    bool m_running = false;

    // Capture thread to analysis thread.
    CSpscQueue<float> m_samples; // left and right, interleaved
    CSpscQueue<Arrival> m_arrivals;
    CAutoResetEvent m_captured;
    std::uint64_t m_capturedSamples = 0; // capture thread
    std::atomic<std::uint64_t> m_dropped {0};

    // Analysis thread.
    std::array<std::unique_ptr<IPitchTracker>, 2> m_trackers; // the second for a duet
    std::array<std::vector<float>, 2> m_voices; // what each tracker is given of the samples
    double m_latencySeconds = 0;
    std::deque<Arrival> m_origins; // each arrival's stream origin (seconds - sample / rate), the last 2 s

    // Analysis thread to UI thread.
    CSpscQueue<SungMoment> m_sung;
    std::jthread m_analysis;

    // UI thread.
    std::array<std::unique_ptr<CSingingScorer>, 2> m_scorers; // the second for a duet
    std::optional<SongScore> m_secondVoiceResult;
    double m_songPerSecond = 1;
    std::deque<TracePoint> m_trace; // of the first voice: the lane's span back from the last pitch
};

// The pitch moved by whole octaves to lie within half an octave of the melody's note at `seconds`,
// or of the nearest note in time; as it is without notes.
float FoldToMelody(const std::vector<MelodyNote>& notes, double seconds, float pitch);

} // namespace linlangok
