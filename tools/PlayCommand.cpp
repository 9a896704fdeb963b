// play FILE: an audio file through the accompaniment player on the output device that
// LINLANGOK_AUDIO_OUT selects, with its position and length once a second until it ends.

#include "common/Text.h"
#include "engine/AudioPlayer.h"
#include "platform/audio/SndFileDecoder.h"
#include "tools/Commands.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

void PrintPosition(const CAudioPlayer& player)
{
    std::printf("position %.1f s, length %d s\n", player.PositionSeconds(), player.LengthSeconds());
    std::fflush(stdout);
}

} // namespace

int RunPlayCommand(ToolContext& context)
{
    if (context.arguments.size() != 1)
        return UsageError("play FILE");
    IAudioOutput* output = context.audioOutput();
    if (!output)
        return 1;
    CAudioPlayer player(*output, context.prompts, CSndFileDecoder::Open);
    if (!player.OpenAndPlay(Utf8ToUtf16(context.arguments[0])))
        return 1;
    // The end is where the position reaches the length in milliseconds; whole seconds would
    // cut the last fraction of a second.
    auto nextPrint = std::chrono::steady_clock::now();
    for (;;) {
        const bool ended = player.PositionMilliseconds() >= player.EndMilliseconds();
        if (ended || std::chrono::steady_clock::now() >= nextPrint) {
            PrintPosition(player);
            nextPrint += 1s;
        }
        if (ended)
            return 0;
        std::this_thread::sleep_for(20ms);
    }
}

} // namespace linlangok
