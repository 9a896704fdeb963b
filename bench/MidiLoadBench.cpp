// Load benchmark: a large generated Standard MIDI File read by CMidiSong::Load (detecting the
// encoding of its texts, as the program loads songs) and, in the same run, by drumstick's QSmf into
// a plain vector of events. Reports throughput, the time to free the song, peak heap per event (a
// counting allocator) and peak resident memory, at N and 2N events.

#include "common/Text.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"

#include <drumstick/qsmf.h>

#include <QString>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Heap in use through operator new, and its peak since the last reset.
std::atomic<size_t> g_heapInUse {0};
std::atomic<size_t> g_heapPeak {0};

void* CountedAllocate(size_t size, size_t alignment)
{
    void* block = alignment > alignof(std::max_align_t)
        ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
        : std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    const size_t inUse = g_heapInUse += malloc_usable_size(block);
    size_t peak = g_heapPeak.load();
    while (inUse > peak && !g_heapPeak.compare_exchange_weak(peak, inUse)) { }
    return block;
}

void CountedFree(void* block) noexcept
{
    if (!block)
        return;
    g_heapInUse -= malloc_usable_size(block);
    std::free(block);
}

} // namespace

void* operator new(size_t size)
{
    return CountedAllocate(size, 0);
}
void* operator new[](size_t size)
{
    return CountedAllocate(size, 0);
}
void* operator new(size_t size, std::align_val_t alignment)
{
    return CountedAllocate(size, size_t(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment)
{
    return CountedAllocate(size, size_t(alignment));
}
void operator delete(void* block) noexcept
{
    CountedFree(block);
}
void operator delete[](void* block) noexcept
{
    CountedFree(block);
}
void operator delete(void* block, size_t) noexcept
{
    CountedFree(block);
}
void operator delete[](void* block, size_t) noexcept
{
    CountedFree(block);
}
void operator delete(void* block, std::align_val_t) noexcept
{
    CountedFree(block);
}
void operator delete[](void* block, std::align_val_t) noexcept
{
    CountedFree(block);
}
void operator delete(void* block, size_t, std::align_val_t) noexcept
{
    CountedFree(block);
}
void operator delete[](void* block, size_t, std::align_val_t) noexcept
{
    CountedFree(block);
}

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTracks = 8;
constexpr int kRuns = 5;

struct GeneratedFile {
    std::filesystem::path path;
    std::uint64_t bytes = 0;
    std::uint64_t events = 0; // End of Track events included
};

// A format-1 file: a conductor track with tempo changes and texts, then instrument tracks of
// notes in running status (note-on, note-on with velocity 0), controllers, pitch bends and a few
// lyrics, with deltas of one and two bytes.
GeneratedFile Generate(const std::filesystem::path& path, std::uint64_t eventsPerTrack)
{
    std::mt19937 random(1234);
    GeneratedFile file {path};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto put16 = [&](int value) {
        out.put(static_cast<char>(value >> 8));
        out.put(static_cast<char>(value));
    };
    out.write("MThd\0\0\0\x06", 8);
    put16(1);
    put16(kTracks + 1);
    put16(480);
    const auto writeTrack = [&](const std::ostringstream& events) {
        const std::string bytes = events.str();
        out.write("MTrk", 4);
        const auto size = static_cast<std::uint32_t>(bytes.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.put(static_cast<char>(size >> shift));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };

    const auto addMeta = [&](std::ostringstream& events, std::uint32_t delta, int type, std::string_view data) {
        WriteVariableLength(events, delta);
        events.put(static_cast<char>(0xFF));
        events.put(static_cast<char>(type));
        WriteVariableLength(events, static_cast<std::uint32_t>(data.size()));
        events << data;
        ++file.events;
    };
    std::ostringstream conductor;
    addMeta(conductor, 0, 3, "Benchmark");
    for (int change = 0; change < 200; ++change) {
        const std::uint32_t tempo = 400000 + static_cast<std::uint32_t>(random() % 200000);
        addMeta(conductor, change == 0 ? 0 : 4800, 0x51,
            std::string {static_cast<char>(tempo >> 16), static_cast<char>(tempo >> 8), static_cast<char>(tempo)});
    }
    addMeta(conductor, 0, 0x2F, "");
    writeTrack(conductor);

    for (int track = 0; track < kTracks; ++track) {
        std::ostringstream events;
        const int channel = track == kTracks - 1 ? 9 : track;
        const char noteOn = static_cast<char>(0x90 | channel);
        addMeta(events, 0, 3, "Track " + std::to_string(track));
        events << std::string {0, static_cast<char>(0xC0 | channel), static_cast<char>(track * 8)};
        ++file.events;
        char status = 0;
        for (std::uint64_t event = 2; event + 1 < eventsPerTrack; ++event) {
            const std::uint32_t roll = random() % 100;
            const std::uint32_t delta = roll < 40 ? 0 : roll < 85 ? 1 + random() % 120 : 128 + random() % 900;
            if (roll == 99 && track == 0) {
                addMeta(events, delta, 5, "la");
                status = 0; // a meta event ends running status in the standard
                continue;
            }
            WriteVariableLength(events, delta);
            char wanted = noteOn;
            if (roll < 4)
                wanted = static_cast<char>(0xB0 | channel);
            else if (roll < 8)
                wanted = static_cast<char>(0xE0 | channel);
            if (wanted != status)
                events.put(wanted);
            status = wanted;
            events.put(static_cast<char>(random() % 128));
            events.put(static_cast<char>(wanted == noteOn && roll % 2 ? 0 : random() % 128));
            ++file.events;
        }
        addMeta(events, 0, 0x2F, "");
        writeTrack(events);
    }
    out.close();
    file.bytes = std::filesystem::file_size(path);
    return file;
}

// A memory figure of this process in bytes: "VmRSS" resident now, "VmHWM" peak since the last reset.
std::uint64_t MemoryStatus(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':')
            return std::stoull(line.substr(field.size() + 1)) * 1024;
    }
    return 0;
}

void ResetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// CPU time of this thread, user and system (page faults included): steadier than the wall clock on a
// machine that other work shares.
double ThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Best wall and CPU times of repeated runs.
struct Timing {
    double wall = 1e9;
    double cpu = 1e9;

    template <typename Work> void Measure(Work work)
    {
        const auto start = Clock::now();
        const double startCpu = ThreadCpuSeconds();
        work();
        cpu = std::min(cpu, ThreadCpuSeconds() - startCpu);
        wall = std::min(wall, Seconds(Clock::now() - start));
    }
};

struct OwnResult {
    Timing load;
    Timing free;
    double heapBytesPerEvent = 0;
    double residentBytesPerEvent = 0;
    std::uint64_t entries = 0;
};

OwnResult MeasureOwn(const GeneratedFile& file, const ICodePage& codePage)
{
    const CUchardetTextEncodings encodings(codePage);
    OwnResult result;
    for (int run = 0; run < kRuns; ++run) {
        auto song = std::make_unique<CMidiSong>(codePage);
        malloc_trim(0);
        const size_t heapBefore = g_heapInUse;
        g_heapPeak = heapBefore;
        const std::uint64_t residentBefore = MemoryStatus("VmRSS");
        ResetPeakResident();
        result.load.Measure([&] {
            if (!song->Load(file.path, encodings))
                throw std::runtime_error("load failed");
        });
        result.heapBytesPerEvent = double(g_heapPeak - heapBefore) / double(file.events);
        result.residentBytesPerEvent = double(MemoryStatus("VmHWM") - residentBefore) / double(file.events);
        result.entries = 0;
        for (size_t track = 0; track < song->TrackCount(); ++track)
            result.entries += song->Track(track).Count();
        result.free.Measure([&] { song.reset(); });
    }
    return result;
}

// What the drumstick reader produces per event.
struct DrumstickEvent {
    std::uint32_t tick;
    std::uint16_t track;
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
};

struct DrumstickResult {
    Timing load;
    std::uint64_t events = 0;
};

DrumstickResult MeasureDrumstick(const GeneratedFile& file)
{
    DrumstickResult result;
    for (int run = 0; run < kRuns; ++run) {
        drumstick::File::QSmf reader;
        std::vector<DrumstickEvent> events;
        std::uint16_t track = 0;
        const auto add = [&](int status, int data1, int data2) {
            events.push_back({static_cast<std::uint32_t>(reader.getCurrentTime()), track,
                static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1), static_cast<std::uint8_t>(data2)});
        };
        using drumstick::File::QSmf;
        QObject::connect(&reader, &QSmf::signalSMFTrackStart, [&] { ++track; });
        QObject::connect(&reader, &QSmf::signalSMFNoteOn, [&](int c, int k, int v) { add(0x90 | c, k, v); });
        QObject::connect(&reader, &QSmf::signalSMFNoteOff, [&](int c, int k, int v) { add(0x80 | c, k, v); });
        QObject::connect(&reader, &QSmf::signalSMFCtlChange, [&](int c, int n, int v) { add(0xB0 | c, n, v); });
        QObject::connect(&reader, &QSmf::signalSMFPitchBend, [&](int c, int v) { add(0xE0 | c, v & 0x7F, v >> 7); });
        QObject::connect(&reader, &QSmf::signalSMFProgram, [&](int c, int p) { add(0xC0 | c, p, 0); });
        QObject::connect(&reader, &QSmf::signalSMFTempo, [&](int) { add(0xFF, 0x51, 0); });
        QObject::connect(&reader, &QSmf::signalSMFText2, [&](int type, const QByteArray&) { add(0xFF, type, 0); });
        QObject::connect(&reader, &QSmf::signalSMFendOfTrack, [&] { add(0xFF, 0x2F, 0); });
        result.load.Measure([&] { reader.readFromFile(QString::fromStdString(file.path.string())); });
        result.events = events.size();
    }
    return result;
}

void Report(const char* label, const GeneratedFile& file, const OwnResult& own, const DrumstickResult& drumstick)
{
    const double megabytes = double(file.bytes) / 1e6;
    const double events = double(file.events);
    std::printf("%s: %.1f MB, %llu events (%d tracks, running status), best of %d runs\n", label, megabytes,
        static_cast<unsigned long long>(file.events), kTracks + 1, kRuns);
    const auto line = [&](const char* name, const Timing& timing) {
        std::printf("  %-16s wall %7.1f ms %6.1f MB/s %6.2f M events/s | cpu %7.1f ms %6.1f MB/s %6.2f M events/s\n",
            name, timing.wall * 1e3, megabytes / timing.wall, events / timing.wall / 1e6, timing.cpu * 1e3,
            megabytes / timing.cpu, events / timing.cpu / 1e6);
    };
    line("CMidiSong::Load", own.load);
    line("drumstick QSmf", drumstick.load);
    std::printf("  throughput ratio wall %.1fx, cpu %.1fx (drumstick read %llu events)\n",
        drumstick.load.wall / own.load.wall, drumstick.load.cpu / own.load.cpu,
        static_cast<unsigned long long>(drumstick.events));
    std::printf("  free the song    wall %7.1f ms | cpu %7.1f ms\n", own.free.wall * 1e3, own.free.cpu * 1e3);
    std::printf("  peak memory      heap %.1f bytes/event, resident %.1f bytes/event (%llu entries)\n",
        own.heapBytesPerEvent, own.residentBytesPerEvent, static_cast<unsigned long long>(own.entries));
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    const auto codePage = CreateLegacyCodePage();
    const auto folder = std::filesystem::temp_directory_path() / ("linlangok-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const GeneratedFile n = Generate(folder / "n.mid", 410000);
    const GeneratedFile twoN = Generate(folder / "2n.mid", 820000);
    const OwnResult ownN = MeasureOwn(n, *codePage);
    const DrumstickResult drumstickN = MeasureDrumstick(n);
    const OwnResult ownTwoN = MeasureOwn(twoN, *codePage);
    const DrumstickResult drumstickTwoN = MeasureDrumstick(twoN);
    Report("N", n, ownN, drumstickN);
    Report("2N", twoN, ownTwoN, drumstickTwoN);
    std::printf("growth 2N/N: load wall %.2f cpu %.2f, free wall %.2f cpu %.2f\n", ownTwoN.load.wall / ownN.load.wall,
        ownTwoN.load.cpu / ownN.load.cpu, ownTwoN.free.wall / ownN.free.wall, ownTwoN.free.cpu / ownN.free.cpu);
    std::filesystem::remove_all(folder);
    return 0;
}
