// UI-thread cost of one frame of the lyrics window (the 10 Hz timer's slot and the paint it asks
// for, flushed to the offscreen screen), while a song plays in real time: the demo MIDI song
// with its syllables, and a silent WAV song with a long LRC file. Frames come every 100 ms with
// the event loop running between them, so the text scrolls as it does for the user; each frame's
// time is the UI thread's CPU time for it (the Time column, and the longest as max_us; the CPU
// column also counts the waits between frames). The goal is under 1 ms. Runs offscreen.
#include "app/services/PlatformServices.h"
#include "common/FilePath.h"
#include "common/Text.h"
#include "platform/audio/WavFileWriter.h"
#include "ui/lyrics/LyricsShowWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>

namespace linlangok {
namespace {

struct Bench {
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<CPlatformServices> platform;
    std::unique_ptr<CKaraokeApplication> karaoke;
};

Bench* g_bench = nullptr;

double ThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void RunEventsFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// Plays the song and shows the lyrics window at the benchmark's size, then runs frames.
void Frames(benchmark::State& state, const std::u16string& song, const std::u16string& lyrics)
{
    CKaraokeApplication& karaoke = *g_bench->karaoke;
    CLyricsShowWindow& window = karaoke.LyricsWindow();
    karaoke.MainWindow().Controller().Handle(command::Stop {});
    karaoke.MainWindow().Controller().Handle(command::PathEdited {EPathEdit::Accompaniment, song});
    karaoke.MainWindow().Controller().Handle(command::PathEdited {EPathEdit::Lyric, lyrics});
    karaoke.MainWindow().Controller().Handle(command::Play {});
    window.show();
    window.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    RunEventsFor(500);
    double longest = 0;
    for (auto _ : state) {
        RunEventsFor(100);
        const double start = ThreadCpuSeconds();
        window.FrameTick();
        window.repaint();
        const double spent = ThreadCpuSeconds() - start;
        state.SetIterationTime(spent);
        longest = std::max(longest, spent);
    }
    state.counters["max_us"] = longest * 1e6;
}

void TenSecondsOfFrames(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);
}

void MidiSongFrame(benchmark::State& state)
{
    Frames(state, Utf8ToUtf16(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid"), {});
}
BENCHMARK(MidiSongFrame)->Args({300, 300})->Args({1920, 1080})->Apply(TenSecondsOfFrames);

void LrcSongFrame(benchmark::State& state)
{
    const QString folder = g_bench->folder->path();
    const std::filesystem::path song = (folder + QStringLiteral("/song.wav")).toStdString();
    const std::filesystem::path lyrics = (folder + QStringLiteral("/song.lrc")).toStdString();
    if (!std::filesystem::exists(song)) {
        CWavFileWriter silence(song, EWavFileMode::Growing);
        const std::vector<std::int16_t> second(44100 * 2);
        for (int seconds = 0; seconds < 60; ++seconds)
            silence.WriteInt16(second.data(), 44100);
        silence.Commit();
        std::ofstream lrc(lyrics);
        for (int line = 0; line < 600; ++line)
            lrc << "[" << line / 60 << ":" << line % 60 << "]好一朵美丽的茉莉花 芬芳美丽满枝桠 " << line << "\n";
    }
    Frames(state, PathToUtf16(song), PathToUtf16(lyrics));
}
BENCHMARK(LrcSongFrame)->Args({300, 300})->Args({1920, 1080})->Apply(TenSecondsOfFrames);

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("LINLANGOK_AUDIO_IN", "null", 0);
    benchmark::Initialize(&argc, argv);
    QApplication application(argc, argv);
    // The program folder and the window sizes written at exit stay in a temporary folder.
    Bench bench;
    bench.folder = std::make_unique<QTemporaryDir>();
    setenv("LINLANGOK_HOME", bench.folder->path().toLocal8Bit().constData(), 1);
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, bench.folder->path());
    bench.platform = std::make_unique<CPlatformServices>(application);
    bench.karaoke = std::make_unique<CKaraokeApplication>(bench.platform->Services());
    g_bench = &bench;
    benchmark::RunSpecifiedBenchmarks();
    bench.karaoke.reset();
    return 0;
}
