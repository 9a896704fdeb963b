#pragma once

#include "core/playback/AudioOutput.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace linlangok {

// The sources of one output stream, the mixing of each buffer and the taps that hear it. Sources
// and taps sit in fixed arrays of atomic slots, so the audio callback takes no lock; removing one
// waits for a mixing pass that may still use it to end.
class CAudioSourceMixer {
public:
    static constexpr size_t kMaximumSources = 16;
    static constexpr size_t kMaximumTaps = 4;

    // UI thread. Adding a source twice changes nothing; a seventeenth source raises
    // std::runtime_error.
    void AddSource(IAudioSource& source);
    // UI thread. Returns once no mixing pass uses the source any more. Unknown sources are ignored.
    void RemoveSource(IAudioSource& source);
    // The same for taps; a fifth tap raises std::runtime_error.
    void AddTap(IAudioTap& tap);
    void RemoveTap(IAudioTap& tap);

    // Audio callback thread: fills `mix` (interleaved stereo) with the sum of every source,
    // clipped to -1..1, and hands it to every tap.
    void Render(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept;

private:
    template <typename T, size_t N> void Add(std::array<std::atomic<T*>, N>& slots, T& item, const char* full);
    template <typename T, size_t N> void Remove(std::array<std::atomic<T*>, N>& slots, T& item);

    std::array<std::atomic<IAudioSource*>, kMaximumSources> m_slots {};
    std::array<std::atomic<IAudioTap*>, kMaximumTaps> m_taps {};
    std::atomic<std::uint64_t> m_passes {0}; // odd while Render runs
    std::mutex m_editLock; // serialises AddSource and RemoveSource; Render never takes it
};

} // namespace linlangok
