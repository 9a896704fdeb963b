// 耳返 on a PipeWire desktop: inside a private stack (scripts/pipewire-stack.sh, which this
// program runs itself under when it is not in one), the graph's quantum is forced with pw-metadata
// to 64, 128 and 256 frames and left to the streams (0), and at each the ear monitor runs for four
// seconds on the default devices through pipewire-alsa, asking for a quantum of the forced size
// (128 for the default). Reported for each:
// - the latency the monitor's stream measured, its median and highest over the run (sampled every
//   100 ms after the first second), and the devices' own reported latencies;
// - the buffers played short and the device dropouts, and the frames dropped to keep the delay;
// - the graph's cycle, as pw-profiler reports it;
// - a check against a known truth: the sink's sound is fed back into the virtual microphone
//   (pw-loopback from linlangok-sink's monitor to linlangok-voice), a click is put into what the
//   monitor captures after 1.5 s, and the spacing of its returns measured in the captured audio.
//   The spacing is the monitor's own delay plus PipeWire's way back (the two loopbacks), so
//   spacing minus the measured latency, the way back, must be the same whatever the monitor does.
#include "bench/BenchSupport.h"
#include "core/audio/SampleFormat.h"
#include "core/performance/EarMonitor.h"
#include "platform/audio/EarMonitorDevices.h"
#include "platform/fft/FftwRealFft.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace linlangok {
namespace {

using namespace std::chrono_literals;

constexpr double kRunSeconds = 4;
constexpr double kClickSeconds = 1.5;
constexpr float kClick = 0.5f;

// A capture that puts one click into what it captures and keeps the left channel from then on.
class CClickedCapture final : public ICaptureDevice {
public:
    explicit CClickedCapture(std::unique_ptr<ICaptureDevice> capture)
        : m_capture(std::move(capture))
    {
        m_heard.reserve(size_t(kRunSeconds * kStreamSampleRate));
    }
    std::string Name() const override { return m_capture->Name(); }
    std::chrono::microseconds Latency() const override { return m_capture->Latency(); }
    std::uint64_t DropoutCount() const override { return m_capture->DropoutCount(); }
    void Stop() override { m_capture->Stop(); }
    bool Start(Consumer consume) override
    {
        return m_capture->Start(
            [this, consume = std::move(consume)](const std::int16_t* samples, size_t frames, auto captured) {
                m_chunk.assign(samples, samples + frames * kStreamChannels);
                const size_t click = size_t(kClickSeconds * kStreamSampleRate);
                if (m_frames <= click && click < m_frames + frames)
                    m_chunk[(click - m_frames) * 2] = m_chunk[(click - m_frames) * 2 + 1] = FloatToInt16(kClick);
                for (size_t frame = 0; frame < frames && m_frames + frame >= click; ++frame) {
                    if (m_heard.size() < m_heard.capacity())
                        m_heard.push_back(Int16ToFloat(m_chunk[frame * 2]));
                }
                m_frames += frames;
                consume(m_chunk.data(), frames, captured);
            });
    }
    // Milliseconds from the click to its first return, nothing when none was heard.
    std::optional<double> ReturnMs() const
    {
        constexpr size_t kDeadFrames = 44; // the click itself
        for (size_t frame = kDeadFrames; frame < m_heard.size(); ++frame) {
            if (std::abs(m_heard[frame]) > kClick / 8)
                return frame * 1000.0 / kStreamSampleRate;
        }
        return std::nullopt;
    }

private:
    std::unique_ptr<ICaptureDevice> m_capture;
    std::vector<std::int16_t> m_chunk;
    std::vector<float> m_heard;
    size_t m_frames = 0;
};

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

// The graph's cycle in microseconds as pw-profiler sees it over half a second (its fourth column).
double GraphCycleMicroseconds()
{
    const std::string log = "/tmp/linlangok-ear-monitor-profiler.log";
    Shell("cd /tmp && timeout -s INT 0.5 pw-profiler -o " + log + " >/dev/null 2>&1");
    std::ifstream in(log);
    std::vector<double> cycles;
    for (std::string line; std::getline(in, line);) {
        std::istringstream columns(line);
        double column[4] = {};
        if (columns >> column[0] >> column[1] >> column[2] >> column[3])
            cycles.push_back(column[3]);
    }
    std::remove(log.c_str());
    return bench::Percentile(cycles, 0.5);
}

void RunAt(size_t forcedQuantum)
{
    Shell("pw-metadata -n settings 0 clock.force-quantum " + std::to_string(forcedQuantum) + " >/dev/null");
    std::this_thread::sleep_for(300ms);
    const size_t quantum = forcedQuantum ? forcedQuantum : kEarMonitorQuantum;
    EarMonitorDevices devices = CreateEarMonitorDevices(quantum);
    CClickedCapture* capture = nullptr;
    IAudioOutput* output = nullptr;
    devices.openCapture = [&, open = devices.openCapture] {
        auto clicked = std::make_unique<CClickedCapture>(open());
        capture = clicked.get();
        return clicked;
    };
    devices.openOutput = [&, open = devices.openOutput] {
        auto opened = open();
        output = opened.get();
        return opened;
    };
    CEarMonitor monitor(std::move(devices), &CFftwRealFft::Create);
    monitor.SetVolume(50);
    std::string failure;
    if (!monitor.Start(nullptr, failure)) {
        std::printf("quantum %zu: %s\n", forcedQuantum, failure.c_str());
        return;
    }
    std::vector<double> latencies;
    double cycle = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(kRunSeconds)) {
        std::this_thread::sleep_for(100ms);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (const auto latency = monitor.LatencyMs(); latency && elapsed > 1)
            latencies.push_back(*latency);
        if (cycle == 0 && elapsed > 2)
            cycle = GraphCycleMicroseconds();
    }
    const double outputMs = std::chrono::duration<double, std::milli>(output->OutputLatency()).count();
    const double inputMs = std::chrono::duration<double, std::milli>(capture->Latency()).count();
    const std::uint64_t underruns = monitor.UnderrunCount();
    monitor.Stop();
    const double median = bench::Percentile(latencies, 0.5);
    std::printf("force-quantum %4zu (monitor asks %zu): graph cycle %.0f us (%.0f frames); latency median %.2f ms, "
                "highest %.2f ms; reported output %.2f ms, input %.2f ms; underruns %llu, frames dropped %llu; ",
        forcedQuantum, quantum, cycle, cycle * kStreamSampleRate / 1e6, median, bench::Percentile(latencies, 1),
        outputMs, inputMs, static_cast<unsigned long long>(underruns),
        static_cast<unsigned long long>(monitor.DroppedFrames()));
    if (const auto spacing = capture->ReturnMs())
        std::printf("click returns after %.2f ms, the way back %.2f ms\n", *spacing, *spacing - median);
    else
        std::printf("the click did not return\n");
}

// Feeds the sink's sound into the virtual microphone until stopped.
pid_t StartFeedback()
{
    const char* arguments[] = {"pw-loopback", "--capture-props=stream.capture.sink=true target.object=linlangok-sink",
        "--playback-props=target.object=linlangok-voice", nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "pw-loopback", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0)
        return 0;
    std::this_thread::sleep_for(500ms);
    return pid;
}

} // namespace
} // namespace linlangok

int main(int, char** argv)
{
    using namespace linlangok;
    if (!std::getenv("LINLANGOK_PIPEWIRE_STACK")) {
        const char* stack = LINLANGOK_SOURCE_DIR "/scripts/pipewire-stack.sh";
        execl(stack, stack, argv[0], static_cast<char*>(nullptr));
        std::perror(stack);
        return 1;
    }
    const pid_t feedback = StartFeedback();
    if (!feedback)
        std::printf("pw-loopback did not start: no click check\n");
    for (const size_t quantum : {64, 128, 256, 0})
        RunAt(quantum);
    if (feedback) {
        kill(feedback, SIGTERM);
        waitpid(feedback, nullptr, 0);
    }
    return 0;
}
