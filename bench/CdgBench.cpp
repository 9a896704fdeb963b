// CD+G pictures: the time of a seek (to the far end of a song at once after opening it, while
// its screens are still being kept, and random seeks after that) and the CPU time the pictures
// take while a song plays, a frame asked for at every display refresh.

#include "BenchSupport.h"
#include "core/cdg/CdgPackets.h"
#include "core/cdg/CdgPicture.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace linlangok::bench {
namespace {

using Clock = std::chrono::steady_clock;

// A karaoke stream of `seconds`, denser than a real one: every packet draws (tiles for the
// lines, XOR tiles for the sweep over the sung words), a scroll every five seconds, a new page
// (memory preset and colours) every twenty.
std::string KaraokeStream(int seconds)
{
    std::mt19937 random(5);
    std::string stream;
    const auto packets = static_cast<std::uint64_t>(seconds) * kCdgPacketsPerSecond;
    for (std::uint64_t packet = 0; packet < packets; ++packet) {
        std::array<std::uint8_t, 12> lines;
        for (std::uint8_t& line : lines)
            line = static_cast<std::uint8_t>(random() & 0x3F);
        const int row = 2 + static_cast<int>(random() % 14);
        const int column = 1 + static_cast<int>(random() % 48);
        if (packet % (20 * kCdgPacketsPerSecond) == 0)
            stream += CdgMemoryPreset(0);
        else if (packet % (20 * kCdgPacketsPerSecond) == 1)
            stream += CdgColourTable(false, {0x000, 0xFFF, 0x00F, 0xF80, 0x0F0, 0xF00, 0x888, 0x444});
        else if (packet % (5 * kCdgPacketsPerSecond) == 2)
            stream += CdgScroll(0, ECdgScroll::None, 0, ECdgScroll::Back, 0, true);
        else
            stream += CdgTile(0, static_cast<std::uint8_t>(1 + random() % 5), row, column, lines, packet % 3 == 0);
    }
    return stream;
}

double ThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void WaitForSnapshots(const CCdgPicture& picture)
{
    while (picture.KeptSnapshots() < picture.SnapshotCount())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void MeasureSeeks(const std::string& stream, int seconds)
{
    {
        auto start = Clock::now();
        CCdgPicture picture(stream);
        const double cpuBefore = ThreadCpuSeconds();
        picture.FrameAt(seconds - 0.01);
        std::printf("%d s song: seek to its end at once after opening: %.2f ms (%.2f ms of CPU)\n", seconds,
            MillisecondsSince(start), (ThreadCpuSeconds() - cpuBefore) * 1000);
        WaitForSnapshots(picture);
        std::printf("  every second's screen kept %.1f ms after opening\n", MillisecondsSince(start));
    }
    CCdgPicture picture(stream);
    WaitForSnapshots(picture);
    std::mt19937 random(11);
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int i = 0; i < 1000; ++i) {
        const double target = std::uniform_real_distribution<double>(0.0, seconds)(random);
        const auto start = Clock::now();
        const double cpu = ThreadCpuSeconds();
        picture.FrameAt(target);
        cpuTimes.push_back((ThreadCpuSeconds() - cpu) * 1000);
        times.push_back(MillisecondsSince(start));
    }
    std::printf("  1000 random seeks: median %.3f ms, 99th percentile %.3f ms, worst %.3f ms (CPU: median %.3f ms, "
                "worst %.3f ms)\n",
        Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0), Percentile(cpuTimes, 0.5),
        Percentile(cpuTimes, 1.0));
}

void MeasurePlaying(const std::string& stream, int seconds, int framesPerSecond)
{
    CCdgPicture picture(stream);
    WaitForSnapshots(picture);
    const double before = ThreadCpuSeconds();
    std::uint64_t frames = 0;
    for (int frame = 0; frame < seconds * framesPerSecond; ++frame)
        frames += picture.FrameAt(static_cast<double>(frame) / framesPerSecond) != nullptr;
    const double cpu = ThreadCpuSeconds() - before;
    std::printf("playing %d s at %d frames a second: %.3f s of CPU, %.2f %% of one core (%llu frames)\n", seconds,
        framesPerSecond, cpu, 100.0 * cpu / seconds, static_cast<unsigned long long>(frames));
}

} // namespace
} // namespace linlangok::bench

int main()
{
    using namespace linlangok::bench;
    for (int seconds : {300, 600}) {
        const std::string stream = KaraokeStream(seconds);
        MeasureSeeks(stream, seconds);
    }
    const std::string stream = KaraokeStream(300);
    MeasurePlaying(stream, 300, 60);
    MeasurePlaying(stream, 300, 144);
    return 0;
}
