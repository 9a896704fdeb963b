// linlangok-tool: the engines of Linlang Karaoke from the command line.

#include "common/ProgramFolder.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/mixer/AlsaMixer.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tools/Commands.h"
#include "tools/ConsolePrompts.h"
#include "tools/MidiCommands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr ToolCommandEntry kCommands[] = {
    {"encode", "encode IN.wav OUT.mp3", RunEncodeCommand},
    {"play", kPlayUsage, RunPlayCommand},
    {"record", "record OUT.mp3 --seconds S", RunRecordCommand},
    {"sing", kSingUsage, RunSingCommand},
    {"calibrate", kCalibrateUsage, RunCalibrateCommand},
    {"monitor", kMonitorUsage, RunMonitorCommand},
    {"lrc", kLrcUsage, RunLrcCommand},
    {"list", kListUsage, RunListCommand},
    {"info", kInfoUsage, RunMidiInfo},
    {"lyrics", kLyricsUsage, RunMidiLyrics},
    {"transpose", "transpose IN OUT N", RunMidiTranspose},
    {"render", kRenderUsage, RunRenderCommand},
    {"render-audio", kRenderAudioUsage, RunRenderAudioCommand},
    {"loudness", kLoudnessUsage, RunLoudnessCommand},
    {"playmidi", kPlayMidiUsage, RunPlayMidiCommand},
    {"catalog", kCatalogUsage, RunCatalogCommand},
    {"queue", kQueueUsage, RunQueueCommand},
    {"cdg-frame", kCdgFrameUsage, RunCdgFrameCommand},
    {"serve", kServeUsage, RunServeCommand},
    {"info-video", kInfoVideoUsage, RunInfoVideoCommand},
    {"render-video-audio", kRenderVideoAudioUsage, RunRenderVideoAudioCommand},
    {"frame", kFrameUsage, RunFrameCommand},
    {"melody", kMelodyUsage, RunMelodyCommand},
    {"score", kScoreUsage, RunScoreCommand},
    {"effects", kEffectsUsage, RunEffectsCommand},
    {nullptr, nullptr, nullptr},
};

int PrintUsage()
{
    std::cerr << "usage: linlangok-tool COMMAND ARGUMENTS...\ncommands:\n";
    for (const auto& command : kCommands) {
        if (command.name)
            std::cerr << "  " << command.usage << '\n';
    }
    return 2;
}

} // namespace

int UsageError(const char* usage)
{
    std::cerr << "usage: linlangok-tool " << usage << '\n';
    return 2;
}

std::optional<std::string> TakeEncodingOption(ToolContext& context, const char* usage)
{
    std::vector<std::string>& arguments = context.arguments;
    const auto option = std::find(arguments.begin(), arguments.end(), "--encoding");
    if (option == arguments.end())
        return std::string();
    if (option + 1 == arguments.end()) {
        UsageError(usage);
        return std::nullopt;
    }
    std::string name = *(option + 1);
    arguments.erase(option, option + 2);
    if (!context.textEncodings.Find(name)) {
        std::cerr << "unknown encoding: " << name << " (known:";
        for (const TextEncodingChoice& choice : context.textEncodings.Choices())
            std::cerr << ' ' << choice.name;
        std::cerr << ")\n";
        return std::nullopt;
    }
    return name;
}

} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    if (argc < 2)
        return PrintUsage();
    const auto codePage = CreateLegacyCodePage();
    const CUchardetTextEncodings textEncodings(*codePage);
    CLameMp3EncoderLibrary encoder;
    CAlsaMixerSystem mixers;
    CConsolePrompts prompts;
    CFlockFileLocks fileLocks;
    // Opened for the commands that play, once, and closed after the command.
    std::unique_ptr<IAudioOutput> audioOutput;
    const auto loopback = std::make_shared<CLoopbackLine>();
    auto openAudioOutput = [&audioOutput, &loopback]() -> IAudioOutput* {
        if (!audioOutput) {
            const char* selection = std::getenv("LINLANGOK_AUDIO_OUT");
            try {
                audioOutput
                    = OpenAudioOutput(selection && *selection ? selection : "default", kDefaultBufferFrames, loopback);
            } catch (const std::exception& error) {
                std::cerr << error.what() << '\n';
            }
        }
        return audioOutput.get();
    };
    auto openWaveIn = [&loopback]() -> std::unique_ptr<IWaveInSystem> {
        try {
            return CreateWaveInSystem(loopback);
        } catch (const std::invalid_argument& error) {
            std::cerr << error.what() << '\n';
            return nullptr;
        }
    };
    for (const auto& command : kCommands) {
        if (command.name && std::strcmp(command.name, argv[1]) == 0) {
            ToolContext context {std::vector<std::string>(argv + 2, argv + argc), prompts, *codePage, textEncodings,
                mixers, encoder, openAudioOutput, openWaveIn, ProgramFolder(), fileLocks, loopback};
            return command.run(context);
        }
    }
    return PrintUsage();
}
