#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace linlangok {

// A lock-free ring of interleaved stereo float frames between one writer thread (the decoder) and
// one reader thread (the audio callback). The capacity is a power of two.
class CAudioPlayerRing {
public:
    explicit CAudioPlayerRing(size_t capacityFrames);

    // Writer: frames that fit now; Write copies at most that many and returns the count.
    size_t Free() const;
    size_t Write(const float* samples, size_t frames);

    // Reader: frames ready now; MixInto adds at most `frames` of them to `mix` and returns the count.
    size_t Ready() const;
    size_t MixInto(float* mix, size_t frames);

    // Empties the ring. Only while neither side runs.
    void Clear();

private:
    std::vector<float> m_samples;
    size_t m_mask; // capacity in frames − 1
    std::atomic<size_t> m_written {0}; // frames written since Clear
    std::atomic<size_t> m_read {0}; // frames read since Clear
};

} // namespace linlangok
