#pragma once

#include "engine/AudioOutput.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace linlangok {

// The sources of one output stream and the mixing of each buffer. The sources sit in a fixed
// array of atomic slots, so the audio callback takes no lock; RemoveSource waits for a mixing
// pass that may still use the source to end.
class CAudioSourceMixer {
public:
    static constexpr size_t kMaximumSources = 16;

    // UI thread. Adding a source twice changes nothing; a seventeenth source raises
    // std::runtime_error.
    void AddSource(IAudioSource& source);
    // UI thread. Returns once no mixing pass uses the source any more. Unknown sources are ignored.
    void RemoveSource(IAudioSource& source);

    // Audio callback thread: fills `mix` (interleaved stereo) with the sum of every source,
    // clipped to -1..1.
    void Render(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept;

private:
    std::array<std::atomic<IAudioSource*>, kMaximumSources> m_slots {};
    std::atomic<uint64_t> m_passes {0}; // odd while Render runs
    std::mutex m_editLock; // serialises AddSource and RemoveSource; Render never takes it
};

} // namespace linlangok
