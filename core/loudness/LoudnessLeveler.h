#pragma once

#include "core/loudness/TruePeakDetector.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace linlangok {

// Levels one source of a song: its gain, and a look-ahead true-peak limiter behind it that keeps
// the true peak at most at kLevelingCeilingDbtp. The limiter's gain falls over the look-ahead
// before a peak, so it never clips, and comes back over kLimiterReleaseSeconds. Without a gain
// the sound passes as it is, with the same lag. Interleaved float of 1 to kMaximumChannels
// channels, limited together, at any sample rate; one thread at a time; nothing blocks or
// allocates.
class CLoudnessLeveler {
public:
    static constexpr size_t kLookaheadFrames = 64;
    // What comes out lags what goes in by this many frames.
    static constexpr size_t kLatencyFrames = CTruePeakDetector::kDelayFrames + kLookaheadFrames;

    static constexpr size_t kMaximumChannels = CTruePeakDetector::kMaximumChannels;

    // `channels` clamped to 1..kMaximumChannels.
    explicit CLoudnessLeveler(int sampleRate = 44100, size_t channels = 2);

    // The gain in dB for the frames given from now on, or nothing for the sound as it is.
    void SetGain(std::optional<double> gainDb) noexcept;

    // Back to silence: the frames inside are dropped and the limiter lets go.
    void Reset() noexcept;

    // Levels `frames` frames in place; they come out kLatencyFrames later.
    void Process(float* interleaved, size_t frames) noexcept;

    // For a stream with a start and an end (a file), levelled without the lag: after a Reset the
    // first kLatencyFrames frames out are held back, and Drain gives the last ones at the end.
    // ProcessInTime levels `frames` frames in place and moves those that come out to the start of
    // the buffer; Drain writes at most kLatencyFrames frames (the buffer holds that many). Each
    // returns the frames written.
    size_t ProcessInTime(float* interleaved, size_t frames) noexcept;
    size_t Drain(float* interleaved) noexcept;

private:
    struct HeldRequirement {
        std::uint64_t frame;
        float gain;
    };

    void ProcessBlock(float* interleaved, size_t frames) noexcept;
    // The limiter's gain for the frame whose peak (after the song's gain) is `peak`.
    float LimiterGain(float peak) noexcept;
    // No frame of the look-ahead window asked for a reduction, and none is being released.
    bool IsLimiterIdle() const noexcept;

    static constexpr size_t kWindowFrames = kLookaheadFrames + 1;

    size_t m_channels;
    std::optional<double> m_gainDb;
    float m_gain = 1.0f;
    float m_releaseCoefficient;
    CTruePeakDetector m_detector;
    std::array<float, kMaximumChannels * kLatencyFrames> m_delay {};
    std::uint64_t m_frame = 0;
    // The least gain that the peaks of the last kWindowFrames frames ask for: a queue whose gains
    // rise from front to back.
    std::array<HeldRequirement, kWindowFrames> m_held {};
    size_t m_heldFront = 0;
    size_t m_heldCount = 0;
    float m_released = 1.0f; // the held gain after the release
    // The mean of the released gains of the last kWindowFrames frames, kept as the sum of their
    // reductions (1 - gain), which is exactly 0 while none reduces.
    std::array<float, kWindowFrames> m_reductions {};
    size_t m_reductionIndex = 0;
    double m_reductionSum = 0.0;
    size_t m_reducingFrames = 0;
    size_t m_heldBack = kLatencyFrames;
};

inline constexpr double kLimiterReleaseSeconds = 0.08;

} // namespace linlangok
