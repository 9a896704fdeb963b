#pragma once

#include "common/SpscQueue.h"
#include "common/Translation.h"
#include "core/performance/HowlGuard.h"
#include "core/performance/VoiceEffect.h"
#include "core/playback/AudioOutput.h"
#include "core/playback/RealFft.h"
#include "core/recording/CaptureDevice.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace linlangok {

// The devices the ear monitor opens for itself at each start, so that both run at a small buffer
// for its stream alone. Each raises std::exception with the user's message (UTF-8) when its
// device cannot be opened; the output starts playing as it opens.
struct EarMonitorDevices {
    std::function<std::unique_ptr<ICaptureDevice>()> openCapture;
    std::function<std::unique_ptr<IAudioOutput>()> openOutput;
};

// 耳返: the singer hears the microphone at once, through the voice effect, at the monitor's own
// volume, mixed into whatever else its output plays. The capture thread runs the effect and the
// howl guard on each chunk and queues the stereo frames, each with the moment it entered the
// microphone, in a lock-free ring that the output's callback plays from; the ring is kept short,
// frames dropped when the two devices' clocks drift apart, so the delay does not creep. Off until
// started. Every public call is made from the UI thread.
class CEarMonitor {
public:
    // What TakeMessages gives when a howl closed the monitor: the source text, shown through Tr in
    // the context "CEarMonitor".
    static constexpr const char* kHowlMessage = LINLANGOK_TR_NOOP("CEarMonitor", "检测到啸叫，耳返已关闭。");

    // `fftFactory` makes the howl guard's transform, here, once.
    CEarMonitor(EarMonitorDevices devices, const RealFftFactory& fftFactory);
    // Stops.
    ~CEarMonitor();

    CEarMonitor(const CEarMonitor&) = delete;
    CEarMonitor& operator=(const CEarMonitor&) = delete;

    // Opens both devices and starts hearing the microphone through `effect` (owned; null for the
    // dry voice), fading in to the volume. A running monitor is stopped first. False, with the
    // user's message in `failure`, when a device does not open or start; nothing then runs.
    bool Start(std::unique_ptr<IVoiceEffect> effect, std::string& failure);
    // Closes both devices and the effect. Harmless when stopped.
    void Stop();
    // False once stopped, and from the moment a howl muted the monitor.
    bool IsRunning() const;

    // 0..100 % of the microphone's amplitude (clamped), reached within 20 ms without a click.
    // Kept across starts; 100 until set.
    void SetVolume(int percent);
    int Volume() const { return m_volumePercent; }

    // From the microphone to the ear, in milliseconds, as the running stream measures it: the
    // moment each buffer's first voice frame is heard (the output's moment for it plus its
    // reported latency) less the moment that frame entered the microphone (its chunk's captured
    // moment less the capture's reported latency, and the effect's own latency), the median of the
    // last buffers. Nothing while stopped or before the first voice frame is played.
    std::optional<double> LatencyMs() const;
    // Since the last start: buffers the output played short because the voice came too late, and
    // the dropouts both devices counted.
    std::uint64_t UnderrunCount() const;
    // Since the last start: frames left out to keep the delay short, or because the ring was full.
    std::uint64_t DroppedFrames() const { return m_droppedFrames.load(std::memory_order_relaxed); }

    // The messages (UTF-8) since the last call, oldest first: the effect's FailureReason when it
    // failed (the voice goes on dry), kHowlMessage when a howl muted the monitor, which this call
    // then stops. Poll it from the window's timer.
    std::vector<std::string> TakeMessages();

private:
    // One stereo frame of the voice and the moment it entered the microphone.
    struct VoiceFrame {
        float left = 0;
        float right = 0;
        std::chrono::steady_clock::time_point entered;
    };

    // The output's side: plays from the ring.
    class CVoiceSource final : public IAudioSource {
    public:
        explicit CVoiceSource(CEarMonitor& monitor)
            : m_monitor(monitor)
        {
        }
        void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;

    private:
        CEarMonitor& m_monitor;
    };

    static constexpr size_t kLatencyBuffers = 64;

    void OnCaptured(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured);
    void Queue(const float* stereo, size_t frames, std::chrono::steady_clock::time_point entered);
    void Post(std::string message);
    void CloseDevices();

    EarMonitorDevices m_devices;
    CHowlGuard m_howlGuard; // capture thread while running
    CSpscQueue<VoiceFrame> m_ring; // capture thread writes, the output's callback reads
    CVoiceSource m_source {*this};
    int m_volumePercent = 100;
    std::atomic<float> m_targetGain {1.0f};
    std::atomic<bool> m_howled {false};
    std::chrono::nanoseconds m_outputLatency {0}; // set before the source is added

    // The capture thread's state, reset at each start.
    std::unique_ptr<IVoiceEffect> m_effect;
    bool m_effectFailed = false;
    float m_gain = 0;
    std::vector<float> m_dry, m_wet;
    size_t m_bufferFrames = 0; // the output's
    size_t m_keptFrames = 0; // the most frames the ring may hold at its lowest
    size_t m_lowestFill = 0; // over the frames watched so far
    size_t m_watchedFrames = 0;
    size_t m_framesToDrop = 0;
    bool m_primed = false; // the first chunk is queued

    // The callback's state.
    bool m_voiceHeard = false;

    std::atomic<std::uint64_t> m_underruns {0};
    std::atomic<std::uint64_t> m_droppedFrames {0};
    std::uint64_t m_closedDeviceDropouts = 0;
    std::array<std::atomic<float>, kLatencyBuffers> m_latencies {};
    std::atomic<std::uint64_t> m_latencyCount {0};

    std::mutex m_messagesLock;
    std::vector<std::string> m_messages;

    // Declared last: closed before what their threads use.
    std::unique_ptr<IAudioOutput> m_output;
    std::unique_ptr<ICaptureDevice> m_capture;
};

} // namespace linlangok
