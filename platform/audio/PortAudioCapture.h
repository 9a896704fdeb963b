#pragma once

#include "core/recording/CaptureDevice.h"

#include <atomic>
#include <thread>
#include <vector>

namespace linlangok {

// How a PortAudio capture stream is opened: the recorder's defaults, a safe high latency in
// chunks of 256 frames, reporting PortAudio's input latency; the ear monitor asks for the device's
// low latency in chunks of its quantum, and reports no latency beyond each chunk's moment, which
// already counts the frames waiting in the buffer: through ALSA, PortAudio's figure is that
// buffer (the ear monitor's benchmark found it counted twice, 8.7 ms too many at a quantum of 128).
struct PortAudioCaptureOptions {
    unsigned long chunkFrames = 256;
    bool lowLatency = false;
    bool reportsBufferLatency = true;
};

// Capture from a PortAudio device: a blocking-read stream at the capture format, read by the
// device's own thread in small chunks (the callback-free API, so nothing here runs on
// PortAudio's real-time thread).
class CPortAudioCapture final : public ICaptureDevice {
public:
    CPortAudioCapture(int deviceIndex, std::string name, PortAudioCaptureOptions options = {});
    ~CPortAudioCapture() override;

    std::string Name() const override { return m_name; }
    // The input latency PortAudio reports for the running stream, unless the options say not to;
    // zero before the first start.
    std::chrono::microseconds Latency() const override { return m_latency.load(); }
    bool Start(Consumer consume) override;
    void Stop() override;
    std::uint64_t DropoutCount() const override { return m_dropouts.load(std::memory_order_relaxed); }

    // Whether the device can capture 44.1 kHz 16-bit stereo.
    static bool CapturesStreamFormat(int deviceIndex);

private:
    int m_deviceIndex;
    std::string m_name;
    PortAudioCaptureOptions m_options;
    void* m_stream = nullptr; // PaStream*
    std::atomic<bool> m_running {false};
    std::atomic<std::uint64_t> m_dropouts {0}; // reads that found the input overflowed
    std::atomic<std::chrono::microseconds> m_latency {std::chrono::microseconds {0}};
    std::vector<std::int16_t> m_chunk;
    std::thread m_thread;
};

} // namespace linlangok
