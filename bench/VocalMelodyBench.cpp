// The melody derived from a synthetic KTV video of about four minutes: the synthetic singer on a
// known tune in the original (原唱) over a backing that the backing track (伴唱) holds too, offset
// and at another gain. Reports the share of the tune's notes found (a derived note starting
// within 60 ms of the note, within 50 cents of its pitch), the derived notes that match none, and
// the CPU seconds of the derivation: on the signals in memory, and from the video file (decoding
// included). Figures only.
//
// bench_vocal_melody [--layout tracks|channels] [--codec flac|mp2|aac]

#include "bench/BenchSupport.h"
#include "common/WavHeader.h"
#include "core/audio/SampleFormat.h"
#include "core/scoring/VocalMelody.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "platform/video/VideoMelody.h"
#include "tests/support/TestSinger.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace linlangok {
namespace {

constexpr int kRate = 44100;
constexpr int kNotes = 352; // about four minutes
constexpr size_t kBackingDelay = 13457; // the backing track starts this many samples late
constexpr float kBackingGain = 0.8f; // the backing in the original, against the backing track

struct Match {
    size_t found = 0;
    size_t unmatched = 0;
    double medianLate = 0; // seconds a derived note of the right pitch starts after the true note
};

Match Compare(const std::vector<MelodyNote>& tune, const std::vector<MelodyNote>& derived)
{
    Match match;
    match.found = NotesFound(tune, derived);
    std::vector<double> late;
    for (const MelodyNote& truth : tune) {
        double nearest = INFINITY;
        for (const MelodyNote& note : derived)
            if (std::abs(note.pitch - truth.pitch) <= 0.5 && std::abs(note.start - truth.start) < std::abs(nearest))
                nearest = note.start - truth.start;
        if (std::isfinite(nearest))
            late.push_back(nearest);
    }
    if (!late.empty()) {
        std::nth_element(late.begin(), late.begin() + std::ptrdiff_t(late.size() / 2), late.end());
        match.medianLate = late[late.size() / 2];
    }
    for (const MelodyNote& note : derived)
        match.unmatched += std::none_of(
            tune.begin(), tune.end(), [&](const MelodyNote& truth) { return NoteMatches(truth, note); });
    return match;
}

void Report(
    const char* name, const std::vector<MelodyNote>& tune, const std::optional<VocalMelodyResult>& result, double cpu)
{
    if (!result || result->verdict != EVocalMelodyVerdict::Melody) {
        std::printf("  %-22s no melody: verdict %d\n", name, result ? int(result->verdict) : -1);
        return;
    }
    const Match match = Compare(tune, result->melody.notes);
    std::printf("  %-22s notes found %.1f %% (%zu of %zu; goal >= 90 %%), derived notes %zu, matching none %zu, "
                "median start %+.0f ms, CPU %.2f s (goal < 10 s)\n",
        name, 100.0 * double(match.found) / double(tune.size()), match.found, tune.size(), result->melody.notes.size(),
        match.unmatched, 1000 * match.medianLate, cpu);
}

// The stereo WAV of the backing track on the left and the original on the right.
bool WriteWav(const std::filesystem::path& file, const std::vector<float>& original, const std::vector<float>& backing)
{
    std::string bytes = CaptureFormatWavHeader(static_cast<std::uint32_t>(original.size() * 4));
    bytes.reserve(bytes.size() + original.size() * 4);
    for (size_t at = 0; at < original.size(); ++at) {
        for (const float sample : {backing[at], original[at]}) {
            const std::int16_t value = FloatToInt16(sample);
            bytes.append(reinterpret_cast<const char*>(&value), 2);
        }
    }
    std::ofstream out(file, std::ios::binary);
    return bool(out.write(bytes.data(), std::streamsize(bytes.size())));
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    std::string layoutName = "tracks", codec = "flac";
    for (int index = 1; index + 1 < argc; index += 2) {
        if (std::strcmp(argv[index], "--layout") == 0)
            layoutName = argv[index + 1];
        else if (std::strcmp(argv[index], "--codec") == 0)
            codec = argv[index + 1];
    }
    const std::vector<MelodyNote> tune = TestTune(kNotes);
    const double seconds = tune.back().end + 1.0;
    const SungVoice voice = Sing(tune, SingerVoice {}, seconds);
    const std::vector<float> backing = TestBacking(tune, kRate, seconds, 0.1);
    std::vector<float> original(voice.samples);
    std::vector<float> backingTrack(original.size(), 0.0f);
    for (size_t at = 0; at < original.size(); ++at) {
        original[at] += kBackingGain * backing[at];
        if (at + kBackingDelay < backingTrack.size())
            backingTrack[at + kBackingDelay] = backing[at];
    }
    std::printf("bench_vocal_melody: %d notes, %.1f s, backing track %zu samples late, at 1/%.2f of the original's\n",
        kNotes, seconds, kBackingDelay, double(kBackingGain));

    const PitchTrackerFactory factory = MakeAubioPitchTracker;
    double before = bench::ProcessCpuSeconds();
    const std::optional<VocalMelodyResult> inMemory
        = DeriveVocalMelody(original, backingTrack, kRate, factory, std::stop_token());
    Report("signals in memory", tune, inMemory, bench::ProcessCpuSeconds() - before);

    char folderTemplate[] = "/tmp/bench_vocal_melody.XXXXXX";
    if (!mkdtemp(folderTemplate) || std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        std::printf("  no video: the ffmpeg command or a temporary folder is missing\n");
        return 0;
    }
    const std::filesystem::path folder = folderTemplate;
    const std::string audio = codec == "flac" ? "-c:a flac" : "-c:a " + codec + " -b:a 192k";
    const bool tracks = layoutName == "tracks";
    const std::string map = tracks ? "-filter_complex '[1:a]asplit[x][y];[x]pan=mono|c0=c1[o];[y]pan=mono|c0=c0[b]' "
                                     "-map 0:v -map '[o]' -map '[b]' "
                                   : "-map 0:v -map 1:a ";
    const std::string command = "cd '" + folder.string()
        + "' && ffmpeg -v error -y -f lavfi -i color=c=black:s=64x48:r=5:d=" + std::to_string(int(seconds) + 1)
        + " -i sound.wav " + map + "-c:v mpeg4 " + audio + " -shortest song.mkv";
    if (!WriteWav(folder / "sound.wav", original, backingTrack) || std::system(command.c_str()) != 0) {
        std::printf("  no video: ffmpeg failed\n");
        std::filesystem::remove_all(folder);
        return 0;
    }
    CFfmpegVideoSongs videos;
    CVideoMelodyDeriver deriver(videos, factory);
    const VocalLayout layout = tracks ? VocalLayout {VocalLayout::EPlace::Track, 0} : VocalLayout {};
    before = bench::ProcessCpuSeconds();
    const std::optional<VocalMelodyResult> fromVideo = deriver.Derive(folder / "song.mkv", layout, std::stop_token());
    const std::string name = "video, " + layoutName + ", " + codec;
    Report(name.c_str(), tune, fromVideo, bench::ProcessCpuSeconds() - before);
    std::filesystem::remove_all(folder);
    return 0;
}
