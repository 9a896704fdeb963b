#pragma once

#include "platform/audio/FramePacer.h"
#include "platform/audio/MixingAudioOutput.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {

// A virtual output device: its own thread pulls one buffer of the configured size from the
// sources whenever the pacer says the next buffer is due, like a sound card, and hands the
// mixed frames to `consume`: nothing for the null device, a file for the WAV-file device.
class CClockedAudioOutput final : public CMixingAudioOutput {
public:
    // Device thread: receives each mixed buffer (interleaved stereo, -1..1).
    using Consumer = std::function<void(const float* samples, size_t frames)>;

    // Starts the device thread at once.
    CClockedAudioOutput(std::string name, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer, Consumer consume);
    // Stops the thread, then releases the consumer (which closes a file).
    ~CClockedAudioOutput() override;

    CClockedAudioOutput(const CClockedAudioOutput&) = delete;
    CClockedAudioOutput& operator=(const CClockedAudioOutput&) = delete;

private:
    void Run();

    std::unique_ptr<IFramePacer> m_pacer;
    Consumer m_consume;
    std::vector<float> m_buffer;
    std::thread m_thread;
};

// The null device ("null"): pulls audio in real time and discards it.
std::unique_ptr<IAudioOutput> CreateNullAudioOutput(size_t bufferFrames, std::unique_ptr<IFramePacer> pacer);

// The WAV-file device ("wav:PATH"): writes what it pulls to a 44.1 kHz 16-bit stereo WAV file.
// Raises std::runtime_error when the file cannot be created.
std::unique_ptr<IAudioOutput> CreateWavFileAudioOutput(
    const std::filesystem::path& path, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer);

} // namespace linlangok
