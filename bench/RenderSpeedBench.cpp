// Render speed: CPU time of `linlangok-tool render` against Debian's `fluidsynth -ni -F`
// rendering the same file with the same SoundFont, in the same run, three times each (the
// median is reported). Songs: the demo song when present, a generated dense 60-second song, a
// burst of 10,000 notes on one tick and songs of 16,384 and 65,535 tracks, or the files given.
// Figures only.
//
// bench_render_speed [SONG.mid...]

#include "bench/BenchSupport.h"
#include "platform/midi/MidiOutputDeviceList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the program with its output discarded; CPU seconds (user + system) of the child, or -1.
double ChildCpuSeconds(const std::vector<std::string>& command)
{
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> arguments;
        for (const std::string& argument : command)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double MedianCpuSeconds(const std::vector<std::string>& command)
{
    std::vector<double> runs;
    for (int run = 0; run < 3; ++run)
        runs.push_back(ChildCpuSeconds(command));
    std::sort(runs.begin(), runs.end());
    return runs.front() < 0 ? -1.0 : runs[1];
}

double WavSeconds(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0.0 : double(size - 44) / (44100 * 4);
}

} // namespace

int main(int argc, char** argv)
{
    const auto soundFont = linlangok::FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
    if (!soundFont) {
        std::printf("no SoundFont: set LINLANGOK_SOUNDFONT\n");
        return 1;
    }
    setenv("LINLANGOK_SOUNDFONT", soundFont->c_str(), 1);
    const auto folder = std::filesystem::temp_directory_path() / ("bench_render_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::vector<std::filesystem::path> songs(argv + 1, argv + argc);
    if (songs.empty()) {
        const std::filesystem::path demo = LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid";
        if (std::filesystem::exists(demo))
            songs.push_back(demo);
        songs.push_back(folder / "dense60.mid");
        std::ofstream(songs.back(), std::ios::binary) << linlangok::bench::DenseSongBytes(60.0);
        songs.push_back(folder / "burst10000.mid");
        std::ofstream(songs.back(), std::ios::binary) << linlangok::bench::BurstSongBytes(10000);
        for (const int tracks : {16384, 65535}) {
            songs.push_back(folder / ("tracks" + std::to_string(tracks) + ".mid"));
            std::ofstream(songs.back(), std::ios::binary) << linlangok::bench::ManyTracksSongBytes(tracks);
        }
    }
    std::printf("SoundFont %s; CPU seconds, median of 3\n", soundFont->c_str());
    for (const auto& song : songs) {
        const auto ours = folder / "ours.wav";
        const auto theirs = folder / "fluidsynth.wav";
        const double oursCpu = MedianCpuSeconds({LINLANGOK_TOOL_PATH, "render", song.string(), ours.string()});
        const double theirsCpu = MedianCpuSeconds(
            {"fluidsynth", "-ni", "-q", "-r", "44100", "-F", theirs.string(), soundFont->string(), song.string()});
        // fluidsynth renders a fixed tail; ours ends when the last voice has faded.
        const double oursPerSecond = oursCpu / std::max(WavSeconds(ours), 1e-9);
        const double theirsPerSecond = theirsCpu / std::max(WavSeconds(theirs), 1e-9);
        std::printf("%s: linlangok-tool render %.3f s for %.1f s of audio, fluidsynth -F %.3f s for %.1f s; "
                    "ratio %.2f, per second of audio %.2f\n",
            song.filename().c_str(), oursCpu, WavSeconds(ours), theirsCpu, WavSeconds(theirs),
            theirsCpu > 0 ? oursCpu / theirsCpu : 0.0, theirsPerSecond > 0 ? oursPerSecond / theirsPerSecond : 0.0);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
