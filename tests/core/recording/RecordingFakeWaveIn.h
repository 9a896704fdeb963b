#pragma once

#include "core/recording/WaveIn.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace linlangok::test {

// A wave-input system in memory: one handle at a time, every operation logged by name ("open",
// "prepare", "unprepare", "add", "start", "reset", "close"), any of them made to fail with a code
// on its n-th call, and captured data pushed in by the test, which stands in for the device's
// capture thread.
class CFakeWaveIn final : public IWaveInSystem {
public:
    std::vector<WaveInCapabilities> devices {{u"Microphone", kWaveFormat4S16, 2}};
    std::atomic<std::uint64_t> dropouts {0}; // what the handle reports
    std::chrono::microseconds latency {0}; // what the handle reports

    void FailOn(const std::string& operation, int call, std::uint32_t code) { m_failures[{operation, call}] = code; }
    std::vector<std::string> Calls() const
    {
        std::lock_guard lock(m_lock);
        return m_calls;
    }
    bool IsOpen() const
    {
        std::lock_guard lock(m_lock);
        return m_client != nullptr;
    }
    size_t Queued() const
    {
        std::lock_guard lock(m_lock);
        return m_queue.size();
    }
    std::uint32_t LastDevice() const { return m_lastDevice; }

    // Captures `frames` frames of the given stereo sample values into the queued buffers, the
    // first reaching the device at `captured`.
    void Capture(size_t frames, std::int16_t left, std::int16_t right,
        std::chrono::steady_clock::time_point captured = std::chrono::steady_clock::now())
    {
        for (size_t frame = 0; frame < frames; ++frame) {
            WaveInBuffer* full = nullptr;
            {
                std::lock_guard lock(m_lock);
                if (!m_started || m_queue.empty())
                    continue;
                WaveInBuffer& buffer = *m_queue.front();
                if (buffer.bytesRecorded == 0)
                    buffer.firstFrameTime
                        = captured + std::chrono::microseconds(frame * 1000000 / kCaptureFramesPerSecond);
                const std::int16_t values[2] = {left, right};
                std::memcpy(buffer.data + buffer.bytesRecorded, values, 4);
                buffer.bytesRecorded += 4;
                ++m_captured;
                if (buffer.bytesRecorded == buffer.length) {
                    m_queue.pop_front();
                    buffer.flags = (buffer.flags & ~kWaveBufferInQueue) | kWaveBufferDone;
                    full = &buffer;
                }
            }
            if (full)
                m_client->OnWaveInData(*full);
        }
    }

    std::uint32_t DeviceCount() override { return static_cast<std::uint32_t>(devices.size()); }
    std::uint32_t Capabilities(std::uint32_t device, WaveInCapabilities& capabilities) override
    {
        if (device >= devices.size())
            return kWaveInErrorBadDevice;
        capabilities = devices[device];
        return kWaveInOk;
    }
    std::uint32_t Open(std::uint32_t device, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle) override
    {
        m_lastDevice = device;
        if (const std::uint32_t code = Call("open"))
            return code;
        if (device == kWaveMapper ? devices.empty() : device >= devices.size())
            return kWaveInErrorBadDevice;
        {
            std::lock_guard lock(m_lock);
            m_client = &client;
        }
        client.OnWaveInOpen();
        handle = std::make_unique<CHandle>(*this);
        return kWaveInOk;
    }

private:
    class CHandle final : public IWaveInHandle {
    public:
        explicit CHandle(CFakeWaveIn& owner)
            : m_owner(owner)
        {
        }
        std::uint32_t PrepareBuffer(WaveInBuffer& buffer) override
        {
            if (const std::uint32_t code = m_owner.Call("prepare"))
                return code;
            buffer.flags |= kWaveBufferPrepared;
            return kWaveInOk;
        }
        std::uint32_t UnprepareBuffer(WaveInBuffer& buffer) override
        {
            if (buffer.flags & kWaveBufferInQueue)
                return kWaveInErrorStillPlaying;
            m_owner.Call("unprepare");
            buffer.flags &= ~kWaveBufferPrepared;
            return kWaveInOk;
        }
        std::uint32_t AddBuffer(WaveInBuffer& buffer) override
        {
            if (const std::uint32_t code = m_owner.Call("add"))
                return code;
            std::lock_guard lock(m_owner.m_lock);
            buffer.flags = (buffer.flags & ~kWaveBufferDone) | kWaveBufferInQueue;
            buffer.bytesRecorded = 0;
            m_owner.m_queue.push_back(&buffer);
            return kWaveInOk;
        }
        std::uint32_t Start() override
        {
            if (const std::uint32_t code = m_owner.Call("start"))
                return code;
            std::lock_guard lock(m_owner.m_lock);
            m_owner.m_started = true;
            return kWaveInOk;
        }
        std::uint32_t Reset() override
        {
            m_owner.Call("reset");
            std::deque<WaveInBuffer*> returned;
            {
                std::lock_guard lock(m_owner.m_lock);
                m_owner.m_started = false;
                returned.swap(m_owner.m_queue);
            }
            for (WaveInBuffer* buffer : returned) {
                buffer->flags = (buffer->flags & ~kWaveBufferInQueue) | kWaveBufferDone;
                m_owner.m_client->OnWaveInData(*buffer);
            }
            return kWaveInOk;
        }
        std::uint32_t Close() override
        {
            if (const std::uint32_t code = m_owner.Call("close"))
                return code;
            IWaveInClient* client;
            {
                std::lock_guard lock(m_owner.m_lock);
                if (!m_owner.m_queue.empty())
                    return kWaveInErrorStillPlaying;
                client = std::exchange(m_owner.m_client, nullptr);
            }
            client->OnWaveInClose();
            return kWaveInOk;
        }
        std::chrono::microseconds InputLatency() const override { return m_owner.latency; }
        std::uint64_t CapturedFrames() const override { return m_owner.m_captured; }
        std::uint64_t DropoutCount() const override { return m_owner.dropouts; }

    private:
        CFakeWaveIn& m_owner;
    };

    std::uint32_t Call(const std::string& operation)
    {
        std::lock_guard lock(m_lock);
        m_calls.push_back(operation);
        const int call = static_cast<int>(std::count(m_calls.begin(), m_calls.end(), operation));
        const auto failure = m_failures.find({operation, call});
        return failure == m_failures.end() ? kWaveInOk : failure->second;
    }

    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
    std::map<std::pair<std::string, int>, std::uint32_t> m_failures;
    IWaveInClient* m_client = nullptr;
    std::deque<WaveInBuffer*> m_queue;
    bool m_started = false;
    std::atomic<std::uint64_t> m_captured {0};
    std::uint32_t m_lastDevice = 0;
};

} // namespace linlangok::test
