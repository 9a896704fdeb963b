// Costs of the lyrics and song list formats: parsing an LRC file (plain or word-timed) at song
// start, reading an UltraStar song (a long duet, and a file at the size cap), one paint's layout at
// 10 Hz, listing a folder of songs, and reading and writing a long song list.
#include "bench/support/SilentPrompts.h"
#include "core/lyrics/LrcLyricView.h"
#include "core/lyrics/LrcParser.h"
#include "core/lyrics/MidiLyricView.h"
#include "core/lyrics/UltraStarSong.h"
#include "core/songlist/FileFinder.h"
#include "core/songlist/SongListFile.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace linlangok {
namespace {

constexpr int kLines = 2000;

const CIconvCodePage& Gbk()
{
    static const CIconvCodePage gbk("GBK");
    return gbk;
}

// A GBK LRC text of kLines lines, two tags each, in shuffled order.
std::string LongLrcText()
{
    std::vector<int> seconds(kLines);
    for (int i = 0; i < kLines; ++i)
        seconds[i] = i * 3;
    std::shuffle(seconds.begin(), seconds.end(), std::mt19937(1));
    std::string text = "[ti:\xDC\xD4\xC0\xF2\xBB\xA8]\r\n";
    for (const int second : seconds) {
        text += "[" + std::to_string(second / 60) + ":" + std::to_string(second % 60)
            + ".25][99:" + std::to_string(second % 60) + "]\xBA\xC3\xD2\xBB\xB6\xE4\xDC\xD4\xC0\xF2\xBB\xA8 line\r\n";
    }
    return text;
}

void ParseLrc(benchmark::State& state)
{
    const std::string text = LongLrcText();
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseLrcText(text, Gbk(), kLyricLineHeight));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ParseLrc)->Unit(benchmark::kMillisecond);

// kLines word-timed lines of eight words, UTF-8, after an offset tag.
std::string WordTimedLrcText()
{
    std::string text = "[offset:+250]\n";
    for (int line = 0; line < kLines; ++line) {
        const int start = line * 4000;
        text += "[" + std::to_string(start / 60000) + ":" + std::to_string(start / 1000 % 60) + ".00]";
        for (int word = 0; word < 8; ++word) {
            const int at = start + word * 400;
            text += "<" + std::to_string(at / 60000) + ":" + std::to_string(at / 1000 % 60) + "."
                + std::to_string(at / 10 % 100) + ">茉莉";
        }
        text += "\n";
    }
    return text;
}

void ParseWordTimedLrc(benchmark::State& state)
{
    const std::string text = WordTimedLrcText();
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseLrcText(text, Gbk(), kLyricLineHeight));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ParseWordTimedLrc)->Unit(benchmark::kMillisecond);

// A GBK duet of kLines lines of eight notes for each voice, with a tempo change every line.
std::string LongUltraStarSong()
{
    std::string text = "#TITLE:\xDC\xD4\xC0\xF2\xBB\xA8\n#ARTIST:\xC3\xF1\xB8\xE8\n#MP3:a.mp3\n#BPM:300\n#GAP:1500\n";
    for (const char* voice : {"P1\n", "P2\n"}) {
        text += voice;
        for (int line = 0; line < kLines; ++line) {
            for (int note = 0; note < 8; ++note)
                text += ": " + std::to_string(line * 40 + note * 4) + " 3 " + std::to_string(note) + " \xBA\xC3\n";
            text += "- " + std::to_string(line * 40 + 34) + "\nB " + std::to_string(line * 40 + 36) + " 300\n";
        }
    }
    return text + "E\n";
}

void ReadUltraStar(benchmark::State& state, std::string text)
{
    static const CUchardetTextEncodings encodings(Gbk());
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadUltraStarSong(text, encodings, Gbk()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(ReadUltraStar, LongDuet, LongUltraStarSong())->Unit(benchmark::kMillisecond);
// Headers, then as many notes as the file cap holds, most beyond the note cap.
BENCHMARK_CAPTURE(ReadUltraStar, AtTheSizeCap,
    [] {
        std::string text = "#TITLE:x\n#BPM:300\n";
        for (int beat = 0; text.size() + 20 < kMaxUltraStarFileBytes; ++beat)
            text += ": " + std::to_string(beat) + " 1 0 a\n";
        return text;
    }())
    ->Unit(benchmark::kMillisecond);

void LrcPaintLayout(benchmark::State& state)
{
    const auto path = std::filesystem::temp_directory_path() / "linlangok-bench.lrc";
    std::ofstream(path, std::ios::binary) << LongLrcText();
    CLrcLyricView view(Gbk());
    view.Load(path);
    std::filesystem::remove(path);
    LyricsPaintInput input {3000.5, 600, true, false, false};
    for (auto _ : state) {
        view.Advance(input);
        benchmark::DoNotOptimize(view.Layout(input));
    }
}
BENCHMARK(LrcPaintLayout)->Unit(benchmark::kMicrosecond);

void MidiPaintLayout(benchmark::State& state)
{
    struct Syllable {
        float time;
        std::u16string text;
        ELyricBreak breakBefore = ELyricBreak::None;
    };
    std::vector<Syllable> syllables;
    for (int i = 0; i < kLines * 10; ++i)
        syllables.push_back({i * 0.25f, u"好"});
    CMidiLyricView view;
    view.SetSource(syllables, 3);
    LyricsPaintInput input {2500.1, 600, true, false, false};
    for (auto _ : state) {
        view.Advance(input);
        benchmark::DoNotOptimize(view.Layout(input));
    }
}
BENCHMARK(MidiPaintLayout)->Unit(benchmark::kMicrosecond);

void ListSongFolder(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "linlangok-bench-songs";
    std::filesystem::create_directories(folder);
    const char* extensions[] = {".mid", ".MP3", ".wav", ".txt"};
    for (int i = 0; i < 1000; ++i)
        std::ofstream(folder / ("song " + std::to_string(i) + extensions[i % 4]));
    bench::CSilentPrompts prompts;
    std::size_t found = 0;
    for (auto _ : state)
        found = ListFolderFiles(folder, u"*.mid|*.mp3|*.wav", prompts).size();
    state.counters["files"] = static_cast<double>(found);
    std::filesystem::remove_all(folder);
}
BENCHMARK(ListSongFolder)->Unit(benchmark::kMillisecond);

void SongListRoundTrip(benchmark::State& state)
{
    const CPathDisplay names(Gbk(), NoEncodingDetection());
    SongList list;
    for (int i = 0; i < 1000; ++i)
        list.songs.push_back(
            SongRecordOfPath(u"/home/歌手/伴奏/茉莉花 " + std::u16string(1, u'0' + i % 10) + u".mid", names));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string written = SerializeSongList(list, Gbk());
        SongList read;
        benchmark::DoNotOptimize(ParseSongList(written, Gbk(), read));
        bytes = written.size();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(SongListRoundTrip)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
