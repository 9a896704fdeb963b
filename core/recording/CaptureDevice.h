#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace linlangok {

// One physical capture stream at the capture format (44.1 kHz, interleaved 16-bit stereo),
// delivering what it captures, chunk by chunk, on its own thread.
class ICaptureDevice {
public:
    // Capture thread: one chunk of frames, valid during the call, and the steady-clock moment its
    // first frame reached the device by the device's own account (it entered the input the input
    // latency before).
    using Consumer = std::function<void(
        const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured)>;

    virtual ~ICaptureDevice() = default;

    virtual std::string Name() const = 0;
    // The input latency the device reports: for a real one, of its running stream.
    virtual std::chrono::microseconds Latency() const = 0;
    // Starts capturing into `consume`. False when the device cannot be opened or started.
    virtual bool Start(Consumer consume) = 0;
    // Stops; returns once `consume` is no longer called. Harmless when stopped.
    virtual void Stop() = 0;
    // How often, since it was made, the device lost input that was not read in time (an
    // overflow, a gap in what it delivers); zero for a device that cannot tell. Any thread.
    virtual std::uint64_t DropoutCount() const { return 0; }
};

} // namespace linlangok
