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
    {"encode", "encode IN.wav OUT.mp3", "encodes a WAV file as MP3, as recordings are encoded", RunEncodeCommand},
    {"play", kPlayUsage, "plays a MIDI, WAV, MP3 or video song through the karaoke session", RunPlayCommand},
    {"record", "record OUT.mp3 --seconds S", "records from the first input into an MP3", RunRecordCommand},
    {"sing", kSingUsage, "plays a song while recording the voice, then saves the voice and the performance mix, scored",
        RunSingCommand},
    {"calibrate", kCalibrateUsage, "measures the round trip from the output to the input with clicks and keeps it",
        RunCalibrateCommand},
    {"monitor", kMonitorUsage, "hears the input on the output at once (耳返) and prints the delay its stream measured",
        RunMonitorCommand},
    {"lrc", kLrcUsage, "reads an LRC lyrics file and prints its lines", RunLrcCommand},
    {"list", kListUsage, "shows or creates a song list", RunListCommand},
    {"info", kInfoUsage, "prints what a song file holds: tracks, tempo, lyrics, headers", RunMidiInfo},
    {"lyrics", kLyricsUsage, "prints the lyrics a song shows, with their times", RunMidiLyrics},
    {"transpose", "transpose IN OUT N", "saves a MIDI song transposed by N semitones", RunMidiTranspose},
    {"render", kRenderUsage, "renders a MIDI song through the built-in synthesizer to WAV", RunRenderCommand},
    {"render-audio", kRenderAudioUsage,
        "renders an audio song with key and tempo, or its vocal-reduced backing, to WAV", RunRenderAudioCommand},
    {"loudness", kLoudnessUsage, "measures a song's loudness and true peak (EBU R128)", RunLoudnessCommand},
    {"playmidi", kPlayMidiUsage, "plays a MIDI file through the built-in synthesizer", RunPlayMidiCommand},
    {"catalog", kCatalogUsage, "adds a folder of songs to the catalogue, or searches it as 点歌 does",
        RunCatalogCommand},
    {"queue", kQueueUsage, "adds to, lists, advances or clears the queue of picked songs", RunQueueCommand},
    {"cdg-frame", kCdgFrameUsage, "draws an MP3+G song's picture at a moment as PNG", RunCdgFrameCommand},
    {"serve", kServeUsage, "serves the phones' page for picking songs (手机点歌)", RunServeCommand},
    {"info-video", kInfoVideoUsage, "prints a video song's streams and its vocal layout", RunInfoVideoCommand},
    {"render-video-audio", kRenderVideoAudioUsage, "renders a video song's sound, original vocal or backing, to WAV",
        RunRenderVideoAudioCommand},
    {"frame", kFrameUsage, "draws a video song's picture at a moment as PNG", RunFrameCommand},
    {"melody", kMelodyUsage, "prints the melody a song is scored against", RunMelodyCommand},
    {"score", kScoreUsage, "scores a recorded voice against a song", RunScoreCommand},
    {"effects", kEffectsUsage,
        "lists the voice effects' presets and the installed LV2 plugins, or one plugin's controls", RunEffectsCommand},
    {nullptr, nullptr, nullptr, nullptr},
};

// Every command's usage and what it does, as --help prints them and the manual page and the
// shell completion are made from.
void PrintCommands(std::ostream& out)
{
    out << "usage: linlangok-tool COMMAND ARGUMENTS...\ncommands:\n";
    for (const auto& command : kCommands) {
        if (command.name)
            out << "  " << command.usage << "\n      " << command.summary << '\n';
    }
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
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintCommands(std::cout);
        return 0;
    }
    if (argc < 2) {
        PrintCommands(std::cerr);
        return 2;
    }
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
    PrintCommands(std::cerr);
    return 2;
}
