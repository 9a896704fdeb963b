#pragma once

#include <array>
#include <cstddef>

namespace linlangok {

// The true peak of a stream of 1 to kMaximumChannels interleaved channels as ITU-R BS.1770-4
// Annex 2 estimates it: four points between every two samples from the Annex's 48-tap
// interpolating filter (4x oversampling), and the samples themselves. It works at any sample
// rate. One thread at a time; nothing allocates.
class CTruePeakDetector {
public:
    // The peak given for a frame is that of the frame this many frames earlier.
    static constexpr size_t kDelayFrames = 6;
    static constexpr size_t kMaximumBlockFrames = 64;
    static constexpr size_t kMaximumChannels = 4;

    // Clamped to 1..kMaximumChannels.
    explicit CTruePeakDetector(size_t channels = 2) noexcept;

    // Back to silence before the stream.
    void Reset() noexcept;

    // For each of `frames` frames (interleaved, at most kMaximumBlockFrames), writes to `peaks`
    // the largest magnitude, over every channel, of the sample kDelayFrames frames
    // earlier and of the interpolated points between it and its neighbours.
    void Process(const float* interleaved, size_t frames, float* peaks) noexcept;
    // Whether no peak of these frames can exceed `limit`, judged from their samples and those
    // still inside the filter alone (no interpolated point exceeds the largest sample magnitude by
    // more than the filter's gain). Then the frames are taken without their peaks, and the peaks
    // Process gives next are as if they had been computed, save that the one interpolated point
    // before the next frame counts as 0. Otherwise nothing changes.
    bool SkipBelow(const float* interleaved, size_t frames, float limit) noexcept;

private:
    static constexpr size_t kTaps = 12;
    size_t m_channels;
    // The last samples of each channel.
    std::array<std::array<float, kTaps - 1>, kMaximumChannels> m_history {};
    float m_previousInterval = 0.0f; // the interpolated peak before the frame given next
};

} // namespace linlangok
