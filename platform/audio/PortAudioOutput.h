#pragma once

#include "core/playback/MixingAudioOutput.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

struct PaStreamCallbackTimeInfo;

namespace linlangok {

// The output stream on a PortAudio device: 44.1 kHz stereo float, one callback per buffer of the
// configured size, in which the sources are mixed.
class CPortAudioOutput final : public CMixingAudioOutput {
public:
    // Opens and starts the device that `selection` names ("default" or a PortAudio device name).
    // Raises std::runtime_error when there is no such device or it cannot be opened.
    CPortAudioOutput(const std::string& selection, size_t bufferFrames);
    ~CPortAudioOutput() override;

    CPortAudioOutput(const CPortAudioOutput&) = delete;
    CPortAudioOutput& operator=(const CPortAudioOutput&) = delete;

    // The stream's output latency as PortAudio reports it.
    std::chrono::microseconds OutputLatency() const override { return m_latency; }
    std::uint64_t DropoutCount() const override { return m_dropouts.load(std::memory_order_relaxed); }

private:
    static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
        unsigned long statusFlags, void* self);

    void* m_stream = nullptr; // PaStream*
    std::chrono::microseconds m_latency {0};
    std::uint64_t m_framesRendered = 0; // callback thread only
    std::atomic<std::uint64_t> m_dropouts {0}; // buffers PortAudio flagged as under- or overflowed
};

} // namespace linlangok
