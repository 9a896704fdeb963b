#pragma once

#include "core/mixer/MixerLineList.h"
#include "core/recording/WaveIn.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace linlangok {

// The consumer of recorded samples: the MP3 stream writer and the performance take.
class IRecordingSink {
public:
    virtual ~IRecordingSink() = default;
    // Capture thread: consumes one block of interleaved 16-bit stereo samples (little-endian,
    // left then right), and when its first frame reached the device (WaveInBuffer::firstFrameTime).
    // Must not throw: a sink keeps its own failures and reports them when closed.
    virtual void Write(
        const std::uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point firstFrameTime)
        = 0;
};

// Records from one wave-input device: two 2-second buffers in flight and a capture thread that
// hands each filled buffer to the sink (encoding runs there) and queues it again. Start and stop
// run on the UI thread, serialised by the recorder lock; errors are raised as
// std::runtime_error with the system's texts, leaving the recorder idle.
class CWaveRecorder final : private IWaveInClient {
public:
    static constexpr std::uint32_t kBufferBytes = 2 * kCaptureBytesPerSecond; // 352800: 2 seconds

    // `system` and `mixers` outlive the recorder; the device's mixer lines come from `mixers`.
    CWaveRecorder(
        IWaveInSystem& system, std::uint32_t deviceNumber, WaveInCapabilities capabilities, IMixerSystem& mixers);
    // Stops a recording in progress.
    ~CWaveRecorder() override;

    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Starts recording into `sink` (not owned; it must outlive the recording). Does nothing while
    // a recording runs. Raises "Can't create WAVE recording thread.", "Can't open WaveIN Device.",
    // "Can't allocate memory for WAVE buffer.", "Error preparing WAVEHDR 1." / "... 2.",
    // "Error queueing WAVEHDR 1." / "... 2." or "Error starting record.".
    void StartRecording(IRecordingSink& sink);
    // Stops: what the buffers hold reaches the sink before this returns. Does nothing when idle.
    void StopRecording();

    bool IsRecording() const;
    // The input latency the open device reports; zero when idle.
    std::chrono::microseconds InputLatency() const;
    // Frames the running recording has captured so far, the sink's and those still in the
    // buffers; zero when idle.
    std::uint64_t RecordedFrames() const;
    // Input the device lost during the running or the last recording (IWaveInHandle::DropoutCount).
    std::uint64_t DropoutCount() const;
    std::uint32_t DeviceNumber() const { return m_deviceNumber; }
    const WaveInCapabilities& Capabilities() const { return m_capabilities; }
    CMixerLineList& MixerLines() { return m_lines; }

private:
    enum EState : int { kStarting = 0, kRecording = 1, kStopping = 2 };

    struct Message {
        enum EKind { kOpened, kData, kClosed } kind;
        WaveInBuffer* buffer;
    };

    void OnWaveInOpen() override;
    void OnWaveInData(WaveInBuffer& buffer) override;
    void OnWaveInClose() override;
    void Post(Message message);
    Message Take();

    void StartSequence(IRecordingSink& sink);
    void StopSequence();
    void CaptureThread();
    // Closes the device, retrying every 1 ms for a while.
    void CloseDevice();
    // Closes the device, ends the capture thread, forgets the sink and raises `message`.
    [[noreturn]] void Abandon(const char* message);

    IWaveInSystem& m_system;
    std::uint32_t m_deviceNumber;
    WaveInCapabilities m_capabilities;
    std::unique_ptr<IWaveInHandle> m_handle;
    std::unique_ptr<std::uint8_t[]> m_memory; // both buffers, allocated at the first start and kept
    std::array<WaveInBuffer, 2> m_headers;
    IRecordingSink* m_sink = nullptr;
    std::uint64_t m_dropouts = 0; // of the last recording, once it ended
    CMixerLineList m_lines;
    mutable std::mutex m_lock; // the recorder lock: start and stop
    std::atomic<int> m_state {kStopping};
    std::atomic<std::uint8_t> m_returned {0}; // buffers back since stopping began
    std::mutex m_requeueLock; // the capture thread's requeue against the stop's state change

    std::thread m_thread;
    std::mutex m_messageLock;
    std::condition_variable m_messageArrived;
    std::deque<Message> m_messages; // the capture thread's message queue
};

} // namespace linlangok
