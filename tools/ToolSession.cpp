#include "tools/ToolSession.h"

#include "common/Text.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/fft/FftwRealFft.h"
#include "platform/mp3g/Mp3gSongFiles.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace linlangok {

std::unique_ptr<ToolSession> ToolSession::Open(ToolContext& context, IUserPrompts& prompts)
{
    IAudioOutput* output = context.audioOutput();
    if (!output)
        return nullptr;
    std::unique_ptr<IWaveInSystem> waveIn = context.waveIn();
    if (!waveIn)
        return nullptr;
    return std::make_unique<ToolSession>(context, *output, std::move(waveIn), prompts);
}

ToolSession::ToolSession(
    ToolContext& context, IAudioOutput& output, std::unique_ptr<IWaveInSystem> waveIn, IUserPrompts& prompts)
    : waveIn(std::move(waveIn))
    , midiDevices(FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")), output, true)
    , inputDevices(*this->waveIn, context.mixers)
    , loudnessAnalyser(MeasuredSoundOpener(OpenSongAudio, &videoSongs, context.codePage), context.codePage)
    , session(SessionServices {prompts, uiThread, timerDriver, midiDevices, output, OpenSongAudio,
          CRubberBandStretcher::Create, inputDevices, context.mixers, &context.encoder, context.codePage,
          context.textEncodings, std::cout, context.programFolder, context.fileLocks, &loudnessAnalyser,
          [](const std::filesystem::path& song) { return OpenMp3gSong(song); }, &videoSongs, CFftwRealFft::Create})
{
}

bool SelectFirstInputDevice(CRecordingController& controller)
{
    const auto names = controller.DeviceNames();
    if (names.empty()) {
        std::cerr << "No recording device.\n";
        return false;
    }
    try {
        controller.SelectDevice(names.front());
    } catch (const std::runtime_error&) {
        // "Can't open Mixer Device.": the device is selected all the same, and records without it.
    }
    return true;
}

void PrintDropouts(std::uint64_t playback, std::uint64_t recording)
{
    if (const std::u16string notice = DropoutNotice(playback, recording); !notice.empty())
        std::cerr << Utf16ToUtf8(notice) << '\n';
}

std::uint64_t TakeFrames(double seconds)
{
    return static_cast<std::uint64_t>(std::llround(seconds * kCaptureFramesPerSecond));
}

void WaitForTake(const CRecordingController& controller, std::uint64_t frames,
    const std::function<void(std::chrono::milliseconds)>& wait)
{
    using namespace std::chrono_literals;
    const auto giveUp
        = std::chrono::steady_clock::now() + 10s + std::chrono::milliseconds(frames * 1000 / kCaptureFramesPerSecond);
    while (
        controller.IsRecording() && controller.RecordedFrames() < frames && std::chrono::steady_clock::now() < giveUp)
        wait(2ms);
}

} // namespace linlangok
