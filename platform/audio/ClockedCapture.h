#pragma once

#include "core/audio/FramePacer.h"
#include "core/audio/LoopbackLine.h"
#include "core/recording/CaptureDevice.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace linlangok {

// A virtual capture device: its thread delivers each chunk of frames once the pacer says that
// chunk has been captured, in real time like a sound card, or in a test's virtual time. A
// simulated latency is reported and applied: each start delivers that much silence first.
class CClockedCapture final : public ICaptureDevice {
public:
    // Capture thread: fills the next `frames` frames.
    using Producer = std::function<void(std::int16_t* samples, size_t frames)>;

    // `openProducer` is called at each start, for a producer that starts from the beginning; an
    // empty one means the source cannot be opened.
    CClockedCapture(std::string name, std::shared_ptr<IFramePacer> pacer, std::function<Producer()> openProducer,
        std::chrono::microseconds latency = {});
    ~CClockedCapture() override;

    std::string Name() const override { return m_name; }
    std::chrono::microseconds Latency() const override { return m_latency; }
    bool Start(Consumer consume) override;
    void Stop() override;

private:
    std::string m_name;
    std::shared_ptr<IFramePacer> m_pacer;
    std::function<Producer()> m_openProducer;
    std::chrono::microseconds m_latency;
    std::vector<std::int16_t> m_chunk;
    std::thread m_thread;
};

// The null input ("null"): silence, in real time unless another pacer is given.
std::unique_ptr<ICaptureDevice> CreateNullCapture(
    std::shared_ptr<IFramePacer> pacer, std::chrono::microseconds latency = {});

// The WAV-file input ("wav:PATH"): the file's audio (any format libsndfile reads, converted to the
// capture format) from its start each time the stream starts, then silence. Starting fails when
// the file cannot be opened.
std::unique_ptr<ICaptureDevice> CreateWavFileCapture(
    const std::filesystem::path& path, std::shared_ptr<IFramePacer> pacer, std::chrono::microseconds latency = {});

// The loopback input ("loopback"): what the loopback output plays into `line`, its delay later;
// frame 0 of each start is the line's moment at the start. Reports no latency.
std::unique_ptr<ICaptureDevice> CreateLoopbackCapture(
    std::shared_ptr<CLoopbackLine> line, std::shared_ptr<IFramePacer> pacer);

} // namespace linlangok
