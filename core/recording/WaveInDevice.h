#pragma once

#include "core/recording/CaptureStream.h"
#include "core/recording/WaveIn.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

namespace linlangok {

// An open wave-input device over a shared capture stream: the queue of buffers that the
// stream's chunks fill, in order, while the device is started.
class CWaveInDevice final : public IWaveInHandle, private ICaptureReceiver {
public:
    // Attaches to the stream and notifies OnWaveInOpen. kWaveInErrorAllocated when the stream's
    // device cannot start.
    static std::uint32_t Open(
        std::shared_ptr<CCaptureStream> stream, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle);

    // Detaches if still open, without notifications.
    ~CWaveInDevice() override;

    std::uint32_t PrepareBuffer(WaveInBuffer& buffer) override;
    std::uint32_t UnprepareBuffer(WaveInBuffer& buffer) override;
    std::uint32_t AddBuffer(WaveInBuffer& buffer) override;
    std::uint32_t Start() override;
    std::uint32_t Reset() override;
    std::uint32_t Close() override;
    std::chrono::microseconds InputLatency() const override { return m_stream->Latency(); }
    std::uint64_t CapturedFrames() const override { return m_capturedFrames; }
    std::uint64_t DropoutCount() const override
    {
        return m_stream ? m_stream->DropoutCount() - m_dropoutsBeforeOpen : 0;
    }

private:
    CWaveInDevice(std::shared_ptr<CCaptureStream> stream, IWaveInClient& client);

    void OnCapture(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured) override;
    // Folds the moment of a chunk, whose frame `chunkFrame` goes into the buffer next, into the
    // buffer's first-frame time.
    void Stamp(WaveInBuffer& buffer, std::chrono::steady_clock::time_point captured, size_t chunkFrame);

    std::shared_ptr<CCaptureStream> m_stream;
    IWaveInClient& m_client;
    std::uint64_t m_dropoutsBeforeOpen; // the shared stream's
    std::mutex m_lock; // the queue and the flags of queued buffers
    std::deque<WaveInBuffer*> m_queue;
    bool m_started = false;
    bool m_open = true;
    std::atomic<std::uint64_t> m_capturedFrames {0};
    // The filling buffer's first-frame estimates: the first, and the others' sum of distances to it.
    std::chrono::steady_clock::time_point m_stampBase;
    std::chrono::nanoseconds m_stampSum {0};
    std::int64_t m_stampCount = 0;
};

} // namespace linlangok
