#include "core/recording/WaveInDevice.h"

#include "core/audio/SampleFormat.h"

#include <algorithm>
#include <cstring>

namespace linlangok {

std::uint32_t CWaveInDevice::Open(
    std::shared_ptr<CCaptureStream> stream, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle)
{
    std::unique_ptr<CWaveInDevice> device(new CWaveInDevice(std::move(stream), client));
    if (!device->m_stream->Attach(*device)) {
        device->m_open = false;
        return kWaveInErrorAllocated;
    }
    client.OnWaveInOpen();
    handle = std::move(device);
    return kWaveInOk;
}

CWaveInDevice::CWaveInDevice(std::shared_ptr<CCaptureStream> stream, IWaveInClient& client)
    : m_stream(std::move(stream))
    , m_client(client)
    , m_dropoutsBeforeOpen(m_stream->DropoutCount())
{
}

CWaveInDevice::~CWaveInDevice()
{
    if (m_open)
        m_stream->Detach(*this);
}

std::uint32_t CWaveInDevice::PrepareBuffer(WaveInBuffer& buffer)
{
    std::lock_guard lock(m_lock);
    if (!buffer.data || buffer.length == 0)
        return kWaveInErrorInvalidParameter;
    if (buffer.flags & kWaveBufferInQueue)
        return kWaveInErrorStillPlaying;
    buffer.flags |= kWaveBufferPrepared;
    return kWaveInOk;
}

std::uint32_t CWaveInDevice::UnprepareBuffer(WaveInBuffer& buffer)
{
    std::lock_guard lock(m_lock);
    if (buffer.flags & kWaveBufferInQueue)
        return kWaveInErrorStillPlaying;
    buffer.flags &= ~kWaveBufferPrepared;
    return kWaveInOk;
}

std::uint32_t CWaveInDevice::AddBuffer(WaveInBuffer& buffer)
{
    std::lock_guard lock(m_lock);
    if (!m_open)
        return kWaveInErrorInvalidHandle;
    if (!(buffer.flags & kWaveBufferPrepared))
        return kWaveInErrorUnprepared;
    if (buffer.flags & kWaveBufferInQueue)
        return kWaveInErrorStillPlaying;
    buffer.flags = (buffer.flags & ~kWaveBufferDone) | kWaveBufferInQueue;
    buffer.bytesRecorded = 0;
    m_queue.push_back(&buffer);
    return kWaveInOk;
}

std::uint32_t CWaveInDevice::Start()
{
    std::lock_guard lock(m_lock);
    m_started = true;
    return kWaveInOk;
}

std::uint32_t CWaveInDevice::Reset()
{
    std::deque<WaveInBuffer*> returned;
    {
        std::lock_guard lock(m_lock);
        m_started = false;
        returned.swap(m_queue);
        for (WaveInBuffer* buffer : returned)
            buffer->flags = (buffer->flags & ~kWaveBufferInQueue) | kWaveBufferDone;
    }
    for (WaveInBuffer* buffer : returned)
        m_client.OnWaveInData(*buffer);
    return kWaveInOk;
}

std::uint32_t CWaveInDevice::Close()
{
    {
        std::lock_guard lock(m_lock);
        if (!m_open)
            return kWaveInErrorInvalidHandle;
        if (!m_queue.empty())
            return kWaveInErrorStillPlaying;
        m_open = false;
        m_started = false;
    }
    m_stream->Detach(*this);
    m_stream.reset(); // the last handle's close ends the stream
    m_client.OnWaveInClose();
    return kWaveInOk;
}

void CWaveInDevice::Stamp(WaveInBuffer& buffer, std::chrono::steady_clock::time_point captured, size_t chunkFrame)
{
    const std::int64_t framesBefore = buffer.bytesRecorded / 4 - static_cast<std::int64_t>(chunkFrame);
    const auto estimate = captured - std::chrono::nanoseconds(framesBefore * 1000000000 / kStreamSampleRate);
    if (buffer.bytesRecorded == 0) {
        m_stampBase = estimate;
        m_stampSum = {};
        m_stampCount = 1;
    } else {
        m_stampSum += estimate - m_stampBase;
        ++m_stampCount;
    }
    // The mean of the estimates: one late chunk moves it little.
    buffer.firstFrameTime = m_stampBase + m_stampSum / m_stampCount;
}

void CWaveInDevice::OnCapture(
    const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured)
{
    auto bytes = reinterpret_cast<const std::uint8_t*>(samples);
    size_t left = frames * 4;
    std::unique_lock lock(m_lock);
    while (left > 0 && m_started && !m_queue.empty()) {
        WaveInBuffer& buffer = *m_queue.front();
        Stamp(buffer, captured, frames - left / 4);
        const size_t count = std::min<size_t>(left, buffer.length - buffer.bytesRecorded);
        std::memcpy(buffer.data + buffer.bytesRecorded, bytes, count);
        buffer.bytesRecorded += static_cast<std::uint32_t>(count);
        m_capturedFrames += count / kCaptureBytesPerFrame;
        bytes += count;
        left -= count;
        if (buffer.bytesRecorded == buffer.length) {
            m_queue.pop_front();
            buffer.flags = (buffer.flags & ~kWaveBufferInQueue) | kWaveBufferDone;
            // Notified without the lock, so the client may queue the buffer again at once.
            lock.unlock();
            m_client.OnWaveInData(buffer);
            lock.lock();
        }
    }
}

} // namespace linlangok
