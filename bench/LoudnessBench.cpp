// Loudness leveling: the CPU time of measuring a 4-minute MIDI song (a render through the built-in
// synthesizer) and a 4-minute loud MP3 (decoded), as the session's analysis thread does, and the
// loudness and true peak that ffmpeg's ebur128 filter finds in what `linlangok-tool render` and
// `render-audio` make of a quiet MIDI song (the demo song) and that loud MP3. Figures only.
//
// bench_loudness

#include "bench/BenchSupport.h"
#include "bench/support/SilentPrompts.h"
#include "core/audio/SampleFormat.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/loudness/SongLoudnessAnalyser.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "platform/render/RenderSong.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace linlangok {
namespace {

constexpr double kSongSeconds = 240.0;
// The MP3 is the dense song made loud as the loudest masters are: raised by this much and clipped.
constexpr double kMasteringGainDb = 24.0;

// Encodes the song, rendered and made loud, into a 128 kbit/s MP3; false when it cannot.
bool WriteLoudMp3(const std::filesystem::path& midi, const std::filesystem::path& mp3)
{
    CLameMp3EncoderLibrary library;
    const std::unique_ptr<IMp3Encoder> encoder = library.InitStream(Mp3EncoderSettings {});
    if (!encoder)
        return false;
    std::ofstream out(mp3, std::ios::binary);
    const auto gain = static_cast<float>(std::pow(10.0, kMasteringGainDb / 20));
    std::vector<float> loud;
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> bytes;
    const auto encode = [&](const float* frames, size_t count) {
        loud.resize(2 * count);
        std::transform(frames, frames + 2 * count, loud.begin(), [gain](float sample) { return sample * gain; });
        samples.resize(loud.size());
        FloatsToInt16(loud.data(), loud.size(), samples.data());
        if (!encoder->Encode(samples.data(), count, bytes))
            return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return true;
    };
    bench::CSilentPrompts prompts;
    RenderOptions options;
    options.bufferFrames = 1024;
    if (!RenderSongInto(prompts, CIconvCodePage("GBK"), midi, options, kStreamSampleRate, encode)
        || !encoder->Flush(bytes))
        return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void ReportAnalysis(const char* what, const std::filesystem::path& song, ESongKind kind)
{
    const CIconvCodePage codePage("GBK");
    CSongLoudnessAnalyser analyser(CSndFileDecoder::Open, codePage);
    const double start = bench::ProcessCpuSeconds();
    const auto measure = analyser.Analyse(song, kind, {});
    const double cpu = bench::ProcessCpuSeconds() - start;
    if (!measure) {
        std::printf("%s: no measure\n", what);
        return;
    }
    std::printf(
        "%s: analysis %.3f s CPU; %.2f LUFS, %.2f dBTP\n", what, cpu, measure->integratedLufs, measure->truePeakDbtp);
}

// The output of a shell command, or empty.
std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
            text.append(buffer, read);
        pclose(pipe);
    }
    return text;
}

// The value after the last `label` in ffmpeg's summary.
std::string SummaryValue(const std::string& summary, const std::string& label)
{
    const size_t at = summary.rfind(label);
    if (at == std::string::npos)
        return "?";
    const size_t start = summary.find_first_not_of(' ', at + label.size());
    return summary.substr(start, summary.find('\n', start) - start);
}

void ReportRender(const std::string& command, const std::filesystem::path& wav)
{
    if (std::system((command + " > /dev/null").c_str()) != 0) {
        std::printf("%s: failed\n", command.c_str());
        return;
    }
    const std::string summary
        = Output("ffmpeg -nostats -i '" + wav.string() + "' -filter_complex ebur128=peak=true -f null - 2>&1");
    std::printf("%s: ffmpeg ebur128 I %s, true peak %s\n", wav.filename().c_str(), SummaryValue(summary, "I:").c_str(),
        SummaryValue(summary, "Peak:").c_str());
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    if (!FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"))) {
        std::printf("no SoundFont: set LINLANGOK_SOUNDFONT\n");
        return 1;
    }
    const auto folder = std::filesystem::temp_directory_path() / ("bench_loudness_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto dense = folder / "dense.mid";
    std::ofstream(dense, std::ios::binary) << bench::DenseSongBytes(kSongSeconds);
    const auto loud = folder / "loud.mp3";
    if (!WriteLoudMp3(dense, loud)) {
        std::printf("cannot write the loud MP3\n");
        return 1;
    }
    const std::filesystem::path demo = LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid";
    ReportAnalysis("4-minute dense MIDI song", dense, ESongKind::Midi);
    ReportAnalysis("4-minute loud MP3", loud, ESongKind::Audio);
    ReportAnalysis("demo song (50 s MIDI)", demo, ESongKind::Midi);

    const std::string tool = LINLANGOK_TOOL_PATH;
    ReportRender(
        "'" + tool + "' render '" + demo.string() + "' '" + (folder / "demo.wav").string() + "'", folder / "demo.wav");
    ReportRender("'" + tool + "' render-audio '" + loud.string() + "' '" + (folder / "loud.wav").string() + "'",
        folder / "loud.wav");
    std::printf(
        "target %.1f LUFS within 1 LU, true peak at most %.1f dBTP\n", kLevelingTargetLufs, kLevelingCeilingDbtp);
    std::filesystem::remove_all(folder);
    return 0;
}
