// MP3 encoding speed: 5 minutes of generated stereo PCM through CMp3StreamWriter in the
// recorder's 2-second blocks, against Debian's lame command encoding the same PCM with the same
// settings. Reports CPU times (best of three rounds), their ratio, the CPU time of each block as a
// share of the 2 seconds it holds, and whether both encoders produced the same frames.

#include "bench/support/SilentPrompts.h"
#include "common/WavHeader.h"
#include "core/recording/Mp3StreamWriter.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/mp3/LameMp3Encoder.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <random>

namespace linlangok {
namespace {

constexpr int kRate = 44100;
constexpr std::size_t kSeconds = 300;
constexpr std::size_t kBlockFrames = 2 * kRate;
constexpr int kRounds = 3;

// Something like music: two voices with vibrato and harmonics, a beat of noise bursts.
std::vector<std::int16_t> GenerateMusic()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    const std::size_t frames = kSeconds * kRate;
    std::vector<std::int16_t> samples(2 * frames);
    double phaseLeft = 0, phaseRight = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double note = 220 * std::pow(2.0, static_cast<int>(t * 2) % 12 / 12.0);
        phaseLeft += 2 * std::numbers::pi * note * (1 + 0.01 * std::sin(2 * std::numbers::pi * 5 * t)) / kRate;
        phaseRight += 2 * std::numbers::pi * note * 1.5 / kRate;
        const double burst = std::fmod(t, 0.5) < 0.05 ? 0.2 * noise(random) : 0.01 * noise(random);
        const double left = 0.3 * std::sin(phaseLeft) + 0.1 * std::sin(3 * phaseLeft) + burst;
        const double right = 0.25 * std::sin(phaseRight) + 0.08 * std::sin(2 * phaseRight) + burst;
        samples[2 * i] = static_cast<std::int16_t>(left * 32767);
        samples[2 * i + 1] = static_cast<std::int16_t>(right * 32767);
    }
    return samples;
}

void WriteWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples)
{
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::string header = CaptureFormatWavHeader(dataBytes);
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

double Seconds(const timespec& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

double CpuSeconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return Seconds(now);
}

struct WriterRun {
    double cpuSeconds = 0;
    std::vector<double> blockSeconds;
};

WriterRun EncodeWithWriter(
    IMp3EncoderLibrary& encoder, const std::vector<std::int16_t>& samples, const std::filesystem::path& target)
{
    bench::CSilentPrompts prompts;
    WriterRun run;
    const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    CFlockFileLocks locks;
    CTakeFolder takes(locks, target.parent_path());
    CMp3StreamWriter writer(&encoder, takes, 128, 0);
    writer.OpenTemporaryFile(prompts);
    for (std::size_t first = 0; first < samples.size(); first += 2 * kBlockFrames) {
        const double blockStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        writer.Write(samples.data() + first, 2 * std::min(2 * kBlockFrames, samples.size() - first));
        run.blockSeconds.push_back(CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - blockStart);
    }
    writer.Close();
    run.cpuSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
    std::filesystem::rename(writer.TemporaryPath(), target);
    return run;
}

// CPU time (user + system) of one lame run, or a negative value when it could not run.
double EncodeWithLame(const std::filesystem::path& wav, const std::filesystem::path& mp3)
{
    const pid_t child = fork();
    if (child == 0) {
        execlp("lame", "lame", "--quiet", "--preset", "cbr", "128", "-m", "j", "-c", "--nores", "-t", "--noreplaygain",
            wav.c_str(), mp3.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether two MPEG-1 128 kbit/s streams hold the same frames, the private header bit aside
// (the lame command cannot set it).
bool SameFramesButThePrivateBit(std::string ours, const std::string& theirs)
{
    for (std::size_t offset = 0; offset + 4 <= ours.size();) {
        ours[offset + 2] = static_cast<char>(ours[offset + 2] & ~1);
        offset += 144 * 128000 / kRate + ((ours[offset + 2] >> 1) & 1);
    }
    return ours == theirs;
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    char folderTemplate[] = "/tmp/linlangok-bench-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::cerr << "cannot create a temporary folder\n";
        return 1;
    }
    const std::filesystem::path folder = folderTemplate;
    CLameMp3EncoderLibrary encoder;

    const auto samples = GenerateMusic();
    WriteWav(folder / "input.wav", samples);

    double writerBest = 1e9, lameBest = 1e9;
    WriterRun bestRun;
    for (int round = 0; round < kRounds; ++round) {
        auto run = EncodeWithWriter(encoder, samples, folder / "writer.mp3");
        if (run.cpuSeconds < writerBest) {
            writerBest = run.cpuSeconds;
            bestRun = std::move(run);
        }
        const double lame = EncodeWithLame(folder / "input.wav", folder / "lame.mp3");
        if (lame >= 0)
            lameBest = std::min(lameBest, lame);
    }

    const auto& blocks = bestRun.blockSeconds;
    const double mean = [&] {
        double sum = 0;
        for (double block : blocks)
            sum += block;
        return sum / static_cast<double>(blocks.size());
    }();
    const double slowest = *std::max_element(blocks.begin(), blocks.end());
    std::cout.setf(std::ios::fixed);
    std::cout.precision(3);
    std::cout << "MP3 encoding of " << kSeconds << " s of stereo PCM at 44.1 kHz, 128 kbit/s CBR, best of " << kRounds
              << " rounds\n";
    std::cout << "  CMp3StreamWriter CPU time: " << writerBest << " s\n";
    if (lameBest < 1e9) {
        std::cout << "  lame command CPU time:     " << lameBest << " s\n";
        std::cout << "  ratio writer / lame:       " << writerBest / lameBest << '\n';
        std::cout << "  lame, share of real time:  " << 100 * lameBest / kSeconds << " %\n";
        std::cout << "  same frames as lame (private bit aside): "
                  << (SameFramesButThePrivateBit(ReadFile(folder / "writer.mp3"), ReadFile(folder / "lame.mp3")) ? "yes"
                                                                                                                 : "no")
                  << '\n';
    } else {
        std::cout << "  lame command: not available\n";
    }
    std::cout << "  per 2-second block (" << blocks.size() << " blocks): mean " << 1000 * mean << " ms ("
              << 100 * mean / 2 << " % of real time), slowest " << 1000 * slowest << " ms (" << 100 * slowest / 2
              << " %)\n";
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
