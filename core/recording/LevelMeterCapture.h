#pragma once

#include "common/UserPrompts.h"
#include "core/recording/LevelMeter.h"
#include "core/recording/WaveIn.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

namespace linlangok {

// The input level meter's capture stream: the default input, with two buffers of 512 bytes
// (128 frames, about 2.9 ms). Each filled buffer updates the levels and held markers and calls
// `changed` on the capture thread, where the widget schedules its repaint. On a device that also
// records, the meter and the recorder share the device's one capture stream.
class CInputLevelMeterCapture final : private IWaveInClient {
public:
    static constexpr std::uint32_t kBufferBytes = 512;

    // `system` and `prompts` outlive the meter.
    CInputLevelMeterCapture(IWaveInSystem& system, IUserPrompts& prompts, std::function<void()> changed);
    ~CInputLevelMeterCapture() override;

    CInputLevelMeterCapture(const CInputLevelMeterCapture&) = delete;
    CInputLevelMeterCapture& operator=(const CInputLevelMeterCapture&) = delete;

    // UI thread. Starts capturing unless running. A failure leaves the meter stopped; the first
    // one of the meter's life shows its message (empty caption), e.g. "Can't open WAVE In Device!"
    // or "Error starting record! -- 0000000B\n".
    void Start();
    // UI thread. Stops capturing if running.
    void Stop();
    bool IsRunning() const;

    // Any thread: the latest levels and held markers (0..256).
    MeterLevels Levels() const;
    MeterLevels HeldLevels() const;

private:
    void OnWaveInOpen() override { }
    void OnWaveInData(WaveInBuffer& buffer) override;
    void OnWaveInClose() override { }
    // Shows the failure, releases the device (if `queued`, buffers are returned first) and memory.
    void Fail(const char* format, std::uint32_t code, bool queued);
    // Shows the text unless a failure has been shown before.
    void ShowFailure(std::u16string_view text);

    IWaveInSystem& m_system;
    IUserPrompts& m_prompts;
    std::function<void()> m_changed;
    std::unique_ptr<IWaveInHandle> m_handle;
    std::unique_ptr<std::uint8_t[]> m_memory;
    std::array<WaveInBuffer, 2> m_headers;
    mutable std::mutex m_runningLock; // the running flag against the capture thread's requeue
    bool m_running = false;
    bool m_failureShown = false;
    std::atomic<int> m_left {0};
    std::atomic<int> m_right {0};
    std::atomic<int> m_heldLeft {0};
    std::atomic<int> m_heldRight {0};
};

} // namespace linlangok
