#include "core/recording/WaveRecorder.h"

#include <chrono>
#include <new>
#include <stdexcept>
#include <system_error>

namespace linlangok {
namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(1);
constexpr int kCloseAttempts = 1000; // a second of retries

} // namespace

CWaveRecorder::CWaveRecorder(
    IWaveInSystem& system, std::uint32_t deviceNumber, WaveInCapabilities capabilities, IMixerSystem& mixers)
    : m_system(system)
    , m_deviceNumber(deviceNumber)
    , m_capabilities(std::move(capabilities))
    , m_lines(deviceNumber, mixers)
{
    for (WaveInBuffer& header : m_headers)
        header.length = kBufferBytes;
}

CWaveRecorder::~CWaveRecorder()
{
    StopRecording();
}

void CWaveRecorder::StartRecording(IRecordingSink& sink)
{
    std::lock_guard lock(m_lock);
    if (!m_handle)
        StartSequence(sink);
}

void CWaveRecorder::StopRecording()
{
    std::lock_guard lock(m_lock);
    StopSequence();
}

bool CWaveRecorder::IsRecording() const
{
    std::lock_guard lock(m_lock);
    return m_handle != nullptr;
}

std::chrono::microseconds CWaveRecorder::InputLatency() const
{
    std::lock_guard lock(m_lock);
    return m_handle ? m_handle->InputLatency() : std::chrono::microseconds {};
}

std::uint64_t CWaveRecorder::RecordedFrames() const
{
    std::lock_guard lock(m_lock);
    return m_handle ? m_handle->CapturedFrames() : 0;
}

std::uint64_t CWaveRecorder::DropoutCount() const
{
    std::lock_guard lock(m_lock);
    return m_handle ? m_handle->DropoutCount() : m_dropouts;
}

void CWaveRecorder::StartSequence(IRecordingSink& sink)
{
    m_sink = &sink;
    m_dropouts = 0;
    m_state = kStarting;
    // Reset here rather than on the device-opened message, which the capture thread may take
    // after a failed queueing has already counted a returned buffer.
    m_returned = 0;
    {
        std::lock_guard lock(m_messageLock);
        m_messages.clear();
    }
    try {
        m_thread = std::thread([this] { CaptureThread(); });
    } catch (const std::system_error&) {
        m_sink = nullptr;
        throw std::runtime_error("Can't create WAVE recording thread.");
    }
    if (m_system.Open(m_deviceNumber, *this, m_handle) != kWaveInOk) {
        m_state = kStopping;
        Post({Message::kClosed, nullptr});
        m_thread.join();
        m_handle.reset();
        m_sink = nullptr;
        throw std::runtime_error("Can't open WaveIN Device.");
    }
    m_state = kRecording;
    if (!m_memory) {
        m_memory.reset(new (std::nothrow) std::uint8_t[2 * kBufferBytes]);
        if (!m_memory)
            Abandon("Can't allocate memory for WAVE buffer.");
    }
    m_headers[0].data = m_memory.get();
    m_headers[1].data = m_memory.get() + kBufferBytes;
    if (m_handle->PrepareBuffer(m_headers[0]) != kWaveInOk)
        Abandon("Error preparing WAVEHDR 1.");
    if (m_handle->PrepareBuffer(m_headers[1]) != kWaveInOk) {
        m_handle->UnprepareBuffer(m_headers[0]);
        Abandon("Error preparing WAVEHDR 2.");
    }
    if (m_handle->AddBuffer(m_headers[0]) != kWaveInOk) {
        m_handle->UnprepareBuffer(m_headers[1]);
        m_handle->UnprepareBuffer(m_headers[0]);
        Abandon("Error queueing WAVEHDR 1.");
    }
    if (m_handle->AddBuffer(m_headers[1]) != kWaveInOk) {
        m_returned = 1; // only the first buffer will come back
        StopSequence();
        throw std::runtime_error("Error queueing WAVEHDR 2.");
    }
    if (m_handle->Start() != kWaveInOk) {
        StopSequence();
        throw std::runtime_error("Error starting record.");
    }
}

void CWaveRecorder::StopSequence()
{
    if (!m_handle)
        return;
    {
        std::lock_guard lock(m_requeueLock);
        m_state = kStopping;
    }
    m_handle->Reset();
    while (m_returned < 2)
        std::this_thread::sleep_for(kPollPeriod);
    m_handle->UnprepareBuffer(m_headers[1]);
    m_handle->UnprepareBuffer(m_headers[0]);
    m_dropouts = m_handle->DropoutCount();
    CloseDevice();
    m_thread.join();
    m_handle.reset();
    m_sink = nullptr;
    for (WaveInBuffer& header : m_headers)
        header.flags = 0;
}

void CWaveRecorder::CloseDevice()
{
    for (int attempt = 1; m_handle->Close() != kWaveInOk; ++attempt) {
        if (attempt == kCloseAttempts) {
            // The device will not close: let go of it, and end the capture thread without it.
            Post({Message::kClosed, nullptr});
            return;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
}

void CWaveRecorder::Abandon(const char* message)
{
    CloseDevice();
    m_thread.join();
    m_handle.reset();
    m_sink = nullptr;
    throw std::runtime_error(message);
}

void CWaveRecorder::CaptureThread()
{
    // The queue exists before the device opens, so the thread takes messages from the start; a
    // stop right after the start finds it taking them, never ended early.
    for (;;) {
        const Message message = Take();
        if (message.kind == Message::kClosed)
            return;
        if (message.kind != Message::kData)
            continue;
        WaveInBuffer& buffer = *message.buffer;
        if (buffer.bytesRecorded != 0 && m_sink)
            m_sink->Write(buffer.data, buffer.bytesRecorded, buffer.firstFrameTime);
        // Under the requeue lock, so the buffer is either queued before the stop's reset, which
        // returns it, or counted as returned; never queued after the reset and lost.
        std::lock_guard lock(m_requeueLock);
        if (m_state != kStopping)
            m_handle->AddBuffer(buffer);
        else
            ++m_returned;
    }
}

void CWaveRecorder::OnWaveInOpen()
{
    Post({Message::kOpened, nullptr});
}

void CWaveRecorder::OnWaveInData(WaveInBuffer& buffer)
{
    Post({Message::kData, &buffer});
}

void CWaveRecorder::OnWaveInClose()
{
    Post({Message::kClosed, nullptr});
}

void CWaveRecorder::Post(Message message)
{
    {
        std::lock_guard lock(m_messageLock);
        m_messages.push_back(message);
    }
    m_messageArrived.notify_one();
}

CWaveRecorder::Message CWaveRecorder::Take()
{
    std::unique_lock lock(m_messageLock);
    m_messageArrived.wait(lock, [this] { return !m_messages.empty(); });
    const Message message = m_messages.front();
    m_messages.pop_front();
    return message;
}

} // namespace linlangok
