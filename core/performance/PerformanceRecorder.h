#pragma once

#include "common/SpscQueue.h"
#include "core/performance/PerformanceTake.h"
#include "core/performance/PerformanceTimeline.h"
#include "core/playback/AudioOutput.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace linlangok {

// Keeps the performance take while a recording runs: taps what the output plays (every source
// mixed, key and tempo included) and hands it from the audio callback through a lock-free queue
// to its own writer thread, which appends it to a temporary file; the recorder's capture thread
// appends the voice to a second one. Both sides note when their frames were heard or captured.
class CPerformanceRecorder final : private IAudioTap {
public:
    // `output` and `takes` outlive the recorder; the temporary files are those of take
    // `takeNumber` of `takes`.
    CPerformanceRecorder(IAudioOutput& output, CTakeFolder& takes, int takeNumber);
    // Untaps the output; removes the temporary files unless a take has them.
    ~CPerformanceRecorder() override;

    CPerformanceRecorder(const CPerformanceRecorder&) = delete;
    CPerformanceRecorder& operator=(const CPerformanceRecorder&) = delete;

    // UI thread, before the recording starts: creates the temporary files, locked while the
    // recorder or its take has them, and taps the output. False when the output has nothing to
    // tap. Raises std::runtime_error when the files cannot be created.
    bool Start();
    // The recorder's capture thread: one block of the voice (16-bit stereo, whole frames) and
    // when its first frame reached the input device.
    void WriteVoice(
        const std::uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point firstFrameTime) noexcept;
    // UI thread, after the recorder has stopped: untaps the output and returns the take, with the
    // voice moved by the output's latency, `inputLatency` and `correctionMs`. Null when nothing
    // audible played or nothing was recorded. Raises std::runtime_error when a temporary file
    // could not be written. Once only.
    std::unique_ptr<CPerformanceTake> Finish(std::chrono::microseconds inputLatency, double correctionMs);

private:
    // One buffer the output played, queued beside its samples.
    struct PlayedBuffer {
        std::uint64_t firstFrame = 0;
        size_t frames = 0;
        std::chrono::steady_clock::time_point playTime;
    };

    void OnPlayed(const float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;
    void WriterThread();
    // Writer thread: appends what the queues hold to the accompaniment's file.
    void Drain();
    void AppendAccompaniment(const std::int16_t* samples, size_t count);
    void Untap();
    void CloseFiles();

    IAudioOutput& m_output;
    CTakeFolder& m_takes;
    int m_takeNumber;
    LockedFile m_accompanimentFile;
    LockedFile m_voiceFile;
    bool m_tapped = false;

    // Audio callback to writer thread.
    CSpscQueue<std::int16_t> m_samples;
    CSpscQueue<PlayedBuffer> m_buffers;

    // Writer thread.
    std::thread m_writer;
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::FILE* m_accompaniment = nullptr;
    bool m_started = false;
    std::uint64_t m_firstFrame = 0; // the output's frame the take starts at
    std::uint64_t m_nextFrame = 0; // the output's frame the file's end stands for
    int m_peak = 0;
    std::vector<FrameStamp> m_played;
    bool m_accompanimentFailed = false;

    // Capture thread.
    std::FILE* m_voice = nullptr;
    std::uint64_t m_voiceFrames = 0;
    std::vector<FrameStamp> m_captured;
    bool m_voiceFailed = false;
};

} // namespace linlangok
