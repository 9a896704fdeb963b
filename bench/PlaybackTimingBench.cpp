// Timing accuracy of MIDI playback on the real timer thread: a dense song with tempo changes
// plays in real time into a capture output while another process keeps one core busy. For each
// message: lateness = send time - (start + its time on the tempo map). Reports the median
// lateness (the constant part: the design's latency), the jitter around it (p50, p99, maximum),
// the drift (median lateness over the last 5 s minus over the first 5 s), and the CPU time of
// the sequencer and timer thread beside that of the timer thread of a clock with nothing to
// send. The same figures against the clock's own schedule (the song run in virtual time first)
// separate the thread's timing from the tick arithmetic's 1 ms periods, and those of the stamps
// (the time each message is meant to sound, which the built-in synthesizer plays it at) show
// what the tempo map leaves of the thread's timing. Figures only.
//
// bench_playback_timing [--seconds N] [--idle]   (default 60 s, one core kept busy)

#include "bench/BenchSupport.h"
#include "bench/support/SilentPrompts.h"
#include "common/CodePage.h"
#include "common/UiTaskQueue.h"
#include "core/midiplay/MidiSequencer.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "tests/support/CaptureMidiOutput.h"
#include "timebase/ManualTimerDriver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace linlangok {
namespace {

struct ExpectedMessage {
    std::int32_t tick;
    std::uint32_t message;
};

// The channel messages in the order the sequencer sends them: by tick, then track, then entry.
std::vector<ExpectedMessage> SendingOrder(const CMidiSong& song)
{
    struct Keyed {
        std::int32_t tick;
        size_t track;
        size_t entry;
        std::uint32_t message;
    };
    std::vector<Keyed> keyed;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        const auto& entries = song.Track(track).Entries();
        for (size_t entry = 0; entry < entries.size(); ++entry) {
            if (const CChannelMessage* channel = AsChannelMessage(entries[entry].message))
                keyed.push_back({entries[entry].tick, track, entry, channel->PackedMessage()});
        }
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return std::tie(a.tick, a.track, a.entry) < std::tie(b.tick, b.track, b.entry);
    });
    std::vector<ExpectedMessage> order;
    for (const Keyed& message : keyed)
        order.push_back({message.tick, message.message});
    return order;
}

// The millisecond of each message's send in virtual time: when the clock's tick arithmetic sends
// it, before any thread timing comes in.
std::vector<std::int32_t> VirtualSchedule(IUserPrompts& prompts, const std::filesystem::path& songPath)
{
    CManualTimerDriver driver;
    const CIconvCodePage codePage("GBK"); // the benchmark songs hold no texts
    CMidiSong song(codePage);
    if (!song.Load(songPath))
        return {};
    CCaptureMidiOutputList devices;
    devices.SetTickSource([&driver] { return static_cast<std::int32_t>(driver.Now()); });
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);
    sequencer.Start();
    while (sequencer.ElapsedSeconds() < song.LengthSeconds() + 0.2)
        driver.Advance(1000);
    std::vector<std::int32_t> schedule;
    for (const CapturedMidiMessage& message : devices.Messages())
        schedule.push_back(message.tick);
    return schedule;
}

struct LatenessFigures {
    double median = 0.0;
    double jitter50 = 0.0;
    double jitter99 = 0.0;
    double jitterMax = 0.0;
    double drift = 0.0;
    double lastFromMedian = 0.0;
};

// Lateness in seconds of each message against its reference time (seconds); `ideal` picks the
// first and last 5 s of the song.
LatenessFigures Figures(const std::vector<double>& lateness, const std::vector<double>& ideal, double length)
{
    LatenessFigures figures;
    figures.median = bench::Percentile(lateness, 0.5);
    std::vector<double> deviation;
    std::vector<double> first;
    std::vector<double> last;
    for (size_t i = 0; i < lateness.size(); ++i) {
        deviation.push_back(std::fabs(lateness[i] - figures.median));
        if (ideal[i] < 5.0)
            first.push_back(lateness[i]);
        if (ideal[i] > length - 5.0)
            last.push_back(lateness[i]);
    }
    figures.jitter50 = bench::Percentile(deviation, 0.5);
    figures.jitter99 = bench::Percentile(deviation, 0.99);
    figures.jitterMax = bench::Percentile(deviation, 1.0);
    figures.drift = bench::Percentile(last, 0.5) - bench::Percentile(first, 0.5);
    figures.lastFromMedian = lateness.empty() ? 0.0 : lateness.back() - figures.median;
    return figures;
}

void Print(const char* against, const LatenessFigures& figures)
{
    std::printf("against %s: lateness median %.3f ms; jitter p50 %.3f ms, p99 %.3f ms, max %.3f ms; drift %.3f ms; "
                "last message %.3f ms from the median\n",
        against, figures.median * 1e3, figures.jitter50 * 1e3, figures.jitter99 * 1e3, figures.jitterMax * 1e3,
        figures.drift * 1e3, figures.lastFromMedian * 1e3);
}

// CPU share of the timer thread of a running clock that has nothing to send: the floor.
double IdleTimerCpuShare(IPeriodicTimerDriver& driver)
{
    CTickClock clock(driver);
    const double before = bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    clock.Start();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    clock.Stop();
    return (bench::ProcessCpuSeconds() - before)
        / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    double seconds = 60.0;
    bool keepCoreBusy = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--idle") == 0)
            keepCoreBusy = false;
    }
    const auto songPath
        = std::filesystem::temp_directory_path() / ("bench_timing_" + std::to_string(getpid()) + ".mid");
    std::ofstream(songPath, std::ios::binary) << bench::DenseSongBytes(seconds);

    bench::CSilentPrompts prompts;
    const std::vector<std::int32_t> schedule = VirtualSchedule(prompts, songPath);
    CThreadTimerDriver driver;
    const CIconvCodePage codePage("GBK"); // the benchmark songs hold no texts
    CMidiSong song(codePage);
    const bool loaded = song.Load(songPath).loaded;
    std::filesystem::remove(songPath);
    if (!loaded)
        return 1;
    const std::vector<ExpectedMessage> expected = SendingOrder(song);
    CCaptureMidiOutputList devices;
    devices.Reserve(expected.size() + 64);
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);

    pid_t busy = -1;
    if (keepCoreBusy) {
        busy = fork();
        if (busy == 0) {
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
    }
    const double length = song.LengthSeconds();
    const double cpuBefore = bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    sequencer.Start();
    while (sequencer.ElapsedSeconds() < length + 0.2)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
    sequencer.Stop();
    if (busy > 0) {
        kill(busy, SIGKILL);
        waitpid(busy, nullptr, 0);
    }

    const std::vector<CapturedMidiMessage> captured = devices.Messages();
    std::vector<double> ideal;
    std::vector<double> againstTempoMap;
    std::vector<double> againstSchedule;
    std::vector<double> stamps;
    size_t mismatches = 0;
    for (size_t i = 0; i < expected.size() && i < captured.size() && i < schedule.size(); ++i) {
        if (captured[i].message != expected[i].message)
            ++mismatches;
        const double sent = std::chrono::duration<double>(captured[i].time - start).count();
        ideal.push_back(song.TicksToSeconds(expected[i].tick));
        againstTempoMap.push_back(sent - ideal.back());
        againstSchedule.push_back(sent - schedule[i] * 1e-3);
        if (captured[i].due)
            stamps.push_back(std::chrono::duration<double>(*captured[i].due - start).count() - ideal.back());
    }
    std::printf("song: %.1f s, %zu messages expected, %zu sent, %zu out of order; %s\n", length, expected.size(),
        captured.size(), mismatches, keepCoreBusy ? "one core kept busy by another process" : "idle machine");
    Print("the tempo map", Figures(againstTempoMap, ideal, length));
    Print("the clock's schedule (thread timing alone)", Figures(againstSchedule, ideal, length));
    if (stamps.size() == ideal.size())
        Print("the tempo map, by the stamps", Figures(stamps, ideal, length));
    std::printf("CPU (sequencer, timer thread and capture): %.3f s in %.1f s = %.3f %% of one core\n", cpu, wall,
        100.0 * cpu / wall);
    std::printf("of which the timer thread of a clock with nothing to send takes: %.3f %% of one core\n",
        100.0 * IdleTimerCpuShare(driver));
    return 0;
}
