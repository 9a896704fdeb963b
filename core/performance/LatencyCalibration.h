#pragma once

#include "common/UserPrompts.h"
#include "core/performance/PerformanceTimeline.h"
#include "core/playback/AudioOutput.h"
#include "core/recording/WaveIn.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace linlangok {

// The click train the calibration plays: kClicks short chirps (500 Hz to 8 kHz, Hann window),
// kClickSpacingFrames apart, the first kLeadFrames after the train starts.
struct ClickTrain {
    static constexpr int kClicks = 8;
    static constexpr size_t kClickFrames = 128;
    static constexpr size_t kClickSpacingFrames = 13230; // 300 ms
    static constexpr size_t kLeadFrames = 11025; // 250 ms
    static constexpr size_t kFrames = kLeadFrames + (kClicks - 1) * kClickSpacingFrames + kClickFrames;

    // The sample of the train's frame `frame` (0 outside the clicks).
    static float Sample(std::uint64_t frame);
};

// The longest round trip the calibration listens for.
inline constexpr size_t kLongestRoundTripFrames = 44100;

// Where the click train lies in `captured` (mono, frame 0 where the train started playing): its
// offset in frames, to a fraction of a frame, within 0..kLongestRoundTripFrames. Nothing when the
// train is not there: the best match must correlate at 0.35 or better with what was captured there, so
// noise, hum and silence are not taken for clicks; a quiet input is heard as well as a loud one.
std::optional<double> FindClickTrain(const std::vector<float>& captured);

// Measures the round trip from the output to the input: plays the click train into `output`
// while capturing an input device, then finds the train in what came back. The round trip
// counts from the moment a click leaves the output to the moment it reaches the input, by the
// devices' own moments for their frames; from an input that gives none, from the moment the
// output renders it to the moment the input delivers it, read off the frames each side has passed. Start and Finish on
// the UI thread; the output's and the input's threads do the rest.
class CLatencyCalibration final : public IAudioSource, private IWaveInClient {
public:
    // `output` and `waveIn` outlive the calibration, which listens on `waveIn`'s `deviceNumber`
    // (kWaveMapper: the first).
    CLatencyCalibration(IAudioOutput& output, IWaveInSystem& waveIn, std::uint32_t deviceNumber);
    ~CLatencyCalibration() override;

    CLatencyCalibration(const CLatencyCalibration&) = delete;
    CLatencyCalibration& operator=(const CLatencyCalibration&) = delete;

    // Opens the input and starts the clicks. False when the input cannot be opened or started.
    bool Start();
    // Any thread: whether the train has played and the input has had time to hear all of it.
    bool IsDone() const;
    // Stops playing and capturing; the round trip in milliseconds, or nothing when no click was
    // heard.
    std::optional<double> Finish();
    // The latencies the two devices report, in milliseconds (valid after Start).
    double ReportedLatencyMs() const { return m_reportedMs; }
    // What a measured round trip makes of the devices' reported latencies, for this output and
    // input (valid after Start).
    struct LatencyCorrection Correction(double roundTripMs) const;

    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;

private:
    static constexpr size_t kBufferFrames = 441;
    static constexpr size_t kCapturedFrames = ClickTrain::kFrames + kLongestRoundTripFrames;

    void OnWaveInOpen() override { }
    void OnWaveInData(WaveInBuffer& buffer) override;
    void OnWaveInClose() override { }
    void Stop();

    IAudioOutput& m_output;
    IWaveInSystem& m_waveIn;
    std::uint32_t m_deviceNumber;
    std::unique_ptr<IWaveInHandle> m_handle;
    std::vector<std::int16_t> m_memory;
    std::array<WaveInBuffer, 4> m_buffers;
    double m_reportedMs = 0;
    std::string m_inputName; // UTF-8
    bool m_playing = false;

    // Audio thread.
    std::optional<std::uint64_t> m_trainStart; // the output frame the train starts at
    std::atomic<std::uint64_t> m_framesPlayed {0};
    // The input frames delivered by the moment the train started rendering: the greatest of
    // (frames delivered - train frames rendered) over every buffer.
    std::atomic<std::int64_t> m_inputAtStart {INT64_MIN};
    std::vector<FrameStamp> m_played; // the train's frames leaving the output, reserved before it plays

    mutable std::mutex m_captureLock; // the captured frames against the capture thread
    std::vector<float> m_captured; // mono, from the input's start
    std::vector<FrameStamp> m_arrived; // the input's frames reaching the device
    std::atomic<std::uint64_t> m_framesCaptured {0};
    bool m_capturing = false;
};

// The round trip measured last, kept in the program's own Latency.ini in `programFolder`:
// the round trip and the correction, what the devices' reported latencies do not account for,
// with the output and the input it was measured on.
struct LatencyCorrection {
    double roundTripMs = 0;
    double correctionMs = 0;
    // The devices' names (UTF-8, on one line); empty in a file written before they were kept,
    // which holds for every pair.
    std::string output;
    std::string input;

    // Whether the correction holds for a recording through these devices: another sound card
    // has another round trip.
    bool AppliesTo(const std::string& outputName, const std::string& inputName) const;
};
// No sound card delays its sound by more; a value beyond it in Latency.ini is not believed.
inline constexpr double kLargestLatencyMs = 10000;
inline constexpr std::uint64_t kMaximumLatencyFileBytes = 64 << 10;

bool SaveLatencyCorrection(const std::filesystem::path& programFolder, const LatencyCorrection& correction);
// Nothing when the file is missing, not a regular file, larger than kMaximumLatencyFileBytes or
// unreadable, or lacks a value. A value beyond ±kLargestLatencyMs is ignored with a warning
// (caption "警告") through the prompts.
std::optional<LatencyCorrection> LoadLatencyCorrection(
    const std::filesystem::path& programFolder, IUserPrompts& prompts);

} // namespace linlangok
