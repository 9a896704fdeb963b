#pragma once

#include "core/audio/FramePacer.h"
#include "core/audio/LoopbackLine.h"
#include "core/playback/MixingAudioOutput.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {

// A virtual output device: its own thread pulls one buffer of the configured size from the
// sources whenever the pacer says the next buffer is due, like a sound card, and hands the
// mixed frames to `consume`; each buffer's first frame leaves it at the moment the pacer gives that
// frame: nothing for the null device, a file for the WAV-file device, the line
// for the loopback output. A simulated latency is reported and applied: `consume` first receives
// that much silence, so whatever it feeds hears each frame that much later.
class CClockedAudioOutput final : public CMixingAudioOutput {
public:
    // Device thread: receives each mixed buffer (interleaved stereo, -1..1).
    using Consumer = std::function<void(const float* samples, size_t frames)>;

    // Starts the device thread at once.
    CClockedAudioOutput(std::string name, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer, Consumer consume,
        std::chrono::microseconds latency = {});
    // Stops the thread, then releases the consumer (which closes a file).
    ~CClockedAudioOutput() override;

    CClockedAudioOutput(const CClockedAudioOutput&) = delete;
    CClockedAudioOutput& operator=(const CClockedAudioOutput&) = delete;

    std::chrono::microseconds OutputLatency() const override { return m_latency; }

private:
    void Run();

    std::unique_ptr<IFramePacer> m_pacer;
    Consumer m_consume;
    std::chrono::microseconds m_latency;
    std::vector<float> m_buffer;
    std::thread m_thread;
};

// The null device ("null"): pulls audio in real time and discards it.
std::unique_ptr<IAudioOutput> CreateNullAudioOutput(
    size_t bufferFrames, std::unique_ptr<IFramePacer> pacer, std::chrono::microseconds latency = {});

// The WAV-file device ("wav:PATH"): writes what it pulls to a 44.1 kHz 16-bit stereo WAV file,
// after `latency` of silence. Raises std::runtime_error when the file cannot be created.
std::unique_ptr<IAudioOutput> CreateWavFileAudioOutput(const std::filesystem::path& path, size_t bufferFrames,
    std::unique_ptr<IFramePacer> pacer, std::chrono::microseconds latency = {});

// The loopback output ("loopback:MS"): plays into `line`, whose input hears it `delay` later;
// frame 0 is heard at the line's moment when the output opens. Reports no latency.
std::unique_ptr<IAudioOutput> CreateLoopbackAudioOutput(std::shared_ptr<CLoopbackLine> line,
    std::chrono::milliseconds delay, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer);

} // namespace linlangok
