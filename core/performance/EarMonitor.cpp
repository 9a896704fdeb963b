#include "core/performance/EarMonitor.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/audio/SampleFormat.h"

#include <algorithm>
#include <exception>

namespace linlangok {
namespace {

// The ring holds far more than the delay it is kept to: a slow effect's late chunk still fits.
constexpr size_t kRingFrames = 16384;
// The capture thread works through a chunk in slices of this many frames at most.
constexpr size_t kSliceFrames = 1024;
constexpr double kRampSeconds = 0.02;
// The ring's lowest fill is judged over this long; above what it may keep, frames are dropped
// until it holds half of that.
constexpr double kWatchSeconds = 0.25;
constexpr size_t kFewestKeptFrames = 64;

std::chrono::nanoseconds FramesToDuration(double frames)
{
    return std::chrono::nanoseconds(static_cast<std::int64_t>(frames * 1e9 / kStreamSampleRate));
}

} // namespace

CEarMonitor::CEarMonitor(EarMonitorDevices devices, const RealFftFactory& fftFactory)
    : m_devices(std::move(devices))
    , m_howlGuard(fftFactory, kStreamSampleRate)
    , m_ring(kRingFrames)
    , m_dry(kSliceFrames * kStreamChannels)
    , m_wet(kSliceFrames * kStreamChannels)
{
}

CEarMonitor::~CEarMonitor()
{
    Stop();
}

bool CEarMonitor::Start(std::unique_ptr<IVoiceEffect> effect, std::string& failure)
{
    Stop();
    std::unique_ptr<IAudioOutput> output;
    std::unique_ptr<ICaptureDevice> capture;
    try {
        output = m_devices.openOutput();
        capture = m_devices.openCapture();
    } catch (const std::exception& error) {
        failure = Utf16ToUtf8(Formatted(Tr("CEarMonitor", "耳返无法打开设备：%1"), {Utf8ToUtf16(error.what())}));
        return false;
    }
    m_ring.Clear();
    m_howlGuard.Reset();
    m_howled = false;
    m_effect = std::move(effect);
    m_effectFailed = false;
    m_gain = 0;
    m_bufferFrames = output->BufferFrames();
    m_keptFrames = std::max(m_bufferFrames, kFewestKeptFrames);
    m_lowestFill = kRingFrames;
    m_watchedFrames = 0;
    m_framesToDrop = 0;
    m_primed = false;
    m_voiceHeard = false;
    m_underruns = 0;
    m_droppedFrames = 0;
    m_closedDeviceDropouts = 0;
    m_latencyCount = 0;
    m_outputLatency = output->OutputLatency();
    m_output = std::move(output);
    m_capture = std::move(capture);
    m_output->AddSource(m_source);
    if (!m_capture->Start(
            [this](const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured) {
                OnCaptured(samples, frames, captured);
            })) {
        failure
            = Utf16ToUtf8(Formatted(Tr("CEarMonitor", "耳返无法打开录音设备 %1。"), {Utf8ToUtf16(m_capture->Name())}));
        CloseDevices();
        return false;
    }
    return true;
}

void CEarMonitor::Stop()
{
    if (!m_capture)
        return;
    m_closedDeviceDropouts = m_output->DropoutCount() + m_capture->DropoutCount();
    CloseDevices();
}

void CEarMonitor::CloseDevices()
{
    m_capture->Stop();
    m_output->RemoveSource(m_source);
    m_output.reset();
    m_capture.reset();
    m_effect.reset();
}

bool CEarMonitor::IsRunning() const
{
    return m_capture && !m_howled;
}

void CEarMonitor::SetVolume(int percent)
{
    m_volumePercent = std::clamp(percent, 0, 100);
    m_targetGain = static_cast<float>(m_volumePercent) / 100.0f;
}

std::optional<double> CEarMonitor::LatencyMs() const
{
    const size_t count = static_cast<size_t>(std::min<std::uint64_t>(m_latencyCount.load(), kLatencyBuffers));
    if (!m_capture || count == 0)
        return std::nullopt;
    std::array<float, kLatencyBuffers> recent;
    for (size_t i = 0; i < count; ++i)
        recent[i] = m_latencies[i].load(std::memory_order_relaxed);
    std::nth_element(recent.begin(), recent.begin() + long(count / 2), recent.begin() + long(count));
    return recent[count / 2];
}

std::uint64_t CEarMonitor::UnderrunCount() const
{
    const std::uint64_t devices
        = m_capture ? m_output->DropoutCount() + m_capture->DropoutCount() : m_closedDeviceDropouts;
    return m_underruns.load(std::memory_order_relaxed) + devices;
}

std::vector<std::string> CEarMonitor::TakeMessages()
{
    if (m_howled)
        Stop();
    std::lock_guard lock(m_messagesLock);
    return std::exchange(m_messages, {});
}

void CEarMonitor::Post(std::string message)
{
    std::lock_guard lock(m_messagesLock);
    m_messages.push_back(std::move(message));
}

void CEarMonitor::OnCaptured(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured)
{
    const float step = static_cast<float>(1.0 / (kRampSeconds * kStreamSampleRate));
    const float target = m_targetGain.load(std::memory_order_relaxed);
    const auto microphoneTime = captured - m_capture->Latency();
    for (size_t done = 0; done < frames && !m_howled; done += kSliceFrames) {
        const size_t slice = std::min(kSliceFrames, frames - done);
        std::transform(
            samples + done * kStreamChannels, samples + (done + slice) * kStreamChannels, m_dry.begin(), Int16ToFloat);
        float* voice = m_dry.data();
        size_t effectDelay = 0;
        if (m_effect && !m_effectFailed) {
            m_effect->Process(m_dry.data(), kStreamChannels, slice, m_wet.data());
            if (m_effect->HasFailed()) {
                m_effectFailed = true;
                Post(m_effect->FailureReason());
            } else {
                voice = m_wet.data();
                effectDelay = m_effect->LatencyFrames();
            }
        }
        for (size_t i = 0; i < slice * kStreamChannels; i += kStreamChannels) {
            m_gain += std::clamp(target - m_gain, -step, step);
            voice[i] *= m_gain;
            voice[i + 1] *= m_gain;
        }
        if (m_howlGuard.Process(voice, slice)) {
            m_howled = true;
            Post(kHowlMessage);
            return;
        }
        Queue(voice, slice, microphoneTime + FramesToDuration(double(done) - double(effectDelay)));
    }
}

void CEarMonitor::Queue(const float* stereo, size_t frames, std::chrono::steady_clock::time_point entered)
{
    // Before a chunk is queued the ring is at its lowest: what it still holds then only delays.
    const size_t fill = kRingFrames - m_ring.Free();
    m_lowestFill = std::min(m_lowestFill, fill);
    m_watchedFrames += frames;
    if (m_watchedFrames >= kWatchSeconds * kStreamSampleRate) {
        if (m_lowestFill > m_keptFrames)
            m_framesToDrop = m_lowestFill - m_keptFrames / 2;
        m_lowestFill = kRingFrames;
        m_watchedFrames = 0;
    }
    if (!m_primed) {
        // The output pulls whole buffers: in the worst phase it takes that much more than a chunk
        // brings before the next chunk comes, which silence ahead of the first makes up for.
        const size_t silence = (frames + m_bufferFrames - 1) / m_bufferFrames * m_bufferFrames - frames;
        for (size_t frame = 0; frame < silence; ++frame) {
            const VoiceFrame quiet {0, 0, entered - FramesToDuration(double(silence - frame))};
            m_ring.Write(&quiet, 1);
        }
        m_primed = true;
    }
    size_t first = 0;
    if (m_framesToDrop > 0) {
        first = std::min(m_framesToDrop, frames);
        m_framesToDrop -= first;
        m_droppedFrames.fetch_add(first, std::memory_order_relaxed);
    }
    for (size_t frame = first; frame < frames; ++frame) {
        const VoiceFrame voice {stereo[frame * 2], stereo[frame * 2 + 1], entered + FramesToDuration(double(frame))};
        if (m_ring.Write(&voice, 1) == 0) {
            m_droppedFrames.fetch_add(frames - frame, std::memory_order_relaxed);
            return;
        }
    }
}

void CEarMonitor::CVoiceSource::MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    CEarMonitor& monitor = m_monitor;
    if (monitor.m_howled.load(std::memory_order_relaxed))
        return;
    size_t done = 0;
    while (done < frames) {
        const auto voice = monitor.m_ring.Readable();
        if (voice.empty())
            break;
        const size_t count = std::min(voice.size(), frames - done);
        if (done == 0) {
            const auto heard = timing.playTime + monitor.m_outputLatency;
            const double ms = std::chrono::duration<double, std::milli>(heard - voice.front().entered).count();
            const std::uint64_t index = monitor.m_latencyCount.load(std::memory_order_relaxed);
            monitor.m_latencies[index % kLatencyBuffers].store(static_cast<float>(ms), std::memory_order_relaxed);
            monitor.m_latencyCount.store(index + 1, std::memory_order_release);
        }
        for (size_t i = 0; i < count; ++i) {
            mix[(done + i) * 2] += voice[i].left;
            mix[(done + i) * 2 + 1] += voice[i].right;
        }
        monitor.m_ring.Consume(count);
        done += count;
    }
    if (done < frames && monitor.m_voiceHeard)
        monitor.m_underruns.fetch_add(1, std::memory_order_relaxed);
    monitor.m_voiceHeard = monitor.m_voiceHeard || done > 0;
}

} // namespace linlangok
