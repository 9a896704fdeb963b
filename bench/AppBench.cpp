// bench_app: the application as a user runs it, offscreen.
//   start-up: from main's entry to the first paint of the main window (median of 5 processes);
//   playing the demo song for 30 s: the process's CPU with the built-in synthesizer excluded (MIDI
//   to a capture device) and included (FluidSynth into the null device), and the resident memory
//   while the synthesizer plays (LINLANGOK_BENCH_SOUNDFONT, else FluidR3_GM when installed, else
//   the default SoundFont).

#include "app/services/PlatformServices.h"
#include "bench/BenchSupport.h"
#include "bench/support/SilentPrompts.h"
#include "core/mixer/MemoryMixer.h"
#include "core/recording/RecordingDevices.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "platform/collation/IcuCollator.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "tests/support/CaptureMidiOutput.h"
#include "ui/desktop/QtDesktopOpener.h"
#include "ui/desktop/QtProgramLauncher.h"
#include "ui/desktop/QtUiThreadPoster.h"
#include "ui/main/KaraokeApplication.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

// Resident memory of this process in MB.
double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Fires once the watched widget has painted.
class CFirstPaint final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// One start of the application as main does it; prints the milliseconds to the first paint.
int MeasureStartUp(int argc, char** argv)
{
    const auto entry = Clock::now();
    QApplication application(argc, argv);
    CPlatformServices platform(application);
    CKaraokeApplication karaoke(platform.Services());
    CFirstPaint firstPaint;
    karaoke.MainWindow().installEventFilter(&firstPaint);
    karaoke.Show();
    while (!firstPaint.painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(Clock::now() - entry).count());
    return 0;
}

double MedianStartUp(const char* self)
{
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return 0;
        const pid_t child = fork();
        if (child == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            execl(self, self, "--start-up", nullptr);
            _exit(127);
        }
        close(pipeFds[1]);
        char text[64] = {};
        const ssize_t length = read(pipeFds[0], text, sizeof text - 1);
        close(pipeFds[0]);
        waitpid(child, nullptr, 0);
        if (length > 0)
            times.push_back(std::atof(text));
    }
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

struct PlayingFigures {
    double cpuPercent = 0;
    double peakResidentMegabytes = 0;
};

// Plays the demo song for `seconds` with every window shown; MIDI goes to the synthesizer with
// the SoundFont given, or to a capture device without one.
PlayingFigures MeasurePlaying(
    QApplication& application, const std::optional<std::filesystem::path>& soundFont, int seconds)
{
    const CIconvCodePage codePage("GBK");
    const CUchardetTextEncodings textEncodings(codePage);
    const CIcuCollator collator;
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "linlangok-bench-app";
    std::filesystem::create_directories(home);
    bench::CSilentPrompts prompts;
    CQtUiThreadPoster uiThread(application);
    CQtDesktopOpener desktop;
    CQtProgramLauncher programs;
    CThreadTimerDriver timer;
    const std::unique_ptr<IAudioOutput> output = OpenAudioOutput("null");
    std::unique_ptr<IMidiOutputDeviceList> midi;
    if (soundFont)
        midi = std::make_unique<CMidiOutputDeviceList>(*soundFont, *output, false);
    else
        midi = std::make_unique<CCaptureMidiOutputList>();
    const auto waveIn = std::make_unique<CWaveInSystem>(CaptureDevicesForSelection("null"));
    CMemoryMixerSystem mixers;
    CInputDeviceList inputs(*waveIn, mixers);
    CLameMp3EncoderLibrary encoder;
    CFlockFileLocks locks;
    CKaraokeApplication karaoke(ApplicationServices {
        SessionServices {prompts, uiThread, timer, *midi, *output, CSndFileDecoder::Open, CRubberBandStretcher::Create,
            inputs, mixers, &encoder, codePage, textEncodings, std::cout, home, locks},
        *waveIn, desktop, programs, DataFolder(), collator});
    karaoke.Show();
    karaoke.MainWindow().Controller().Handle(command::PickSong {u"" LINLANGOK_DEMO_SONG});
    karaoke.MainWindow().Controller().Handle(command::Play {});
    QApplication::processEvents();

    PlayingFigures figures;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout,
        [&figures] { figures.peakResidentMegabytes = std::max(figures.peakResidentMegabytes, ResidentMegabytes()); });
    sample.start(500);
    const double cpuBefore = bench::ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    QTimer::singleShot(seconds * 1000, &application, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    figures.cpuPercent = 100.0 * (bench::ProcessCpuSeconds() - cpuBefore) / wall;
    return figures;
}

std::optional<std::filesystem::path> BenchSoundFont()
{
    if (const char* chosen = std::getenv("LINLANGOK_BENCH_SOUNDFONT"); chosen && *chosen)
        return std::filesystem::path(chosen);
    const std::filesystem::path fluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (std::filesystem::exists(fluidR3))
        return fluidR3;
    return FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("LINLANGOK_AUDIO_IN", "null", 0);
    if (argc == 2 && std::string(argv[1]) == "--start-up")
        return MeasureStartUp(argc, argv);
    const int kSeconds
        = std::getenv("LINLANGOK_BENCH_SECONDS") ? std::atoi(std::getenv("LINLANGOK_BENCH_SECONDS")) : 30;
    std::printf("start-up to the first paint of the main window: median of 5 runs %.1f ms\n", MedianStartUp(argv[0]));
    std::fflush(stdout);
    QApplication application(argc, argv);
    const PlayingFigures withoutSynth = MeasurePlaying(application, std::nullopt, kSeconds);
    std::printf("playing the demo song %d s, synthesizer excluded: CPU %.2f %% of one core, resident %.0f MB\n",
        kSeconds, withoutSynth.cpuPercent, withoutSynth.peakResidentMegabytes);
    std::fflush(stdout);
    const auto soundFont = BenchSoundFont();
    if (!soundFont) {
        std::printf("no SoundFont: synthesizer figures skipped\n");
        return 0;
    }
    const PlayingFigures withSynth = MeasurePlaying(application, soundFont, kSeconds);
    std::printf(
        "playing the demo song %d s, synthesizer included (%s): CPU %.2f %% of one core, resident peak %.0f MB\n",
        kSeconds, soundFont->filename().c_str(), withSynth.cpuPercent, withSynth.peakResidentMegabytes);
    return 0;
}
