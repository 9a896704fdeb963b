#pragma once

#include "common/UserPrompts.h"
#include "core/playback/AudioFileDecoder.h"
#include "core/playback/AudioStretcher.h"
#include "core/playback/ChannelPick.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace linlangok {

// What a render hears of the song's decoded channels: `first` from the start, then each change's
// pick from its song time (seconds) on, faded in as the player fades it.
struct RenderedPicks {
    ChannelPick first;
    std::vector<std::pair<double, ChannelPick>> changes; // in time order
};

// Plays an audio file (WAV, MP3 ...) at a key and tempo through the accompaniment player's stretch
// stage and leveler, as fast as the machine allows, into a 44.1 kHz 16-bit stereo WAV file, which
// replaces `wavFile` only once complete. At key 0 and tempo 100 % without a leveling gain (dB) it
// holds the decoded file unchanged. Of a song decoded into more channels than two, the picks say
// which are heard.
//
// Messages go to the prompts: "播放文件时出错!" when the file cannot be opened or holds no audio,
// "无法写入文件 PATH" when the WAV cannot be written (nothing is then left behind), and a warning
// when the file's data breaks off (the part before it is written). The frames written, or
// nothing.
std::optional<std::uint64_t> RenderAudio(IUserPrompts& prompts, const std::filesystem::path& audioFile,
    const std::filesystem::path& wavFile, const StretchSettings& settings, std::optional<double> levelingGainDb,
    const AudioFileOpener& open, const AudioStretcherFactory& makeStretcher, const RenderedPicks& picks = {});

} // namespace linlangok
