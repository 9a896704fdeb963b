#pragma once

#include "common/CodePage.h"
#include "common/TextEncodings.h"
#include "core/lyrics/UltraStarSong.h"
#include "core/playback/AudioFileDecoder.h"

#include <filesystem>
#include <memory>
#include <string>

namespace linlangok {

// An UltraStar song's sound as `open` decodes its files: the full mix, paired with the
// instrumental (CPairedAudioDecoder) when `withBacking` and the song has one. Raises
// std::runtime_error naming a file that is missing or cannot be opened.
std::unique_ptr<IAudioFileDecoder> OpenUltraStarSound(
    const UltraStarSong& song, const std::filesystem::path& songFile, const AudioFileOpener& open, bool withBacking);

// An opener that decodes an UltraStar song's full mix (the song read with `detector`) and any
// other file as `open` does. The detector and the code page outlive the opener.
AudioFileOpener UltraStarSoundOpener(
    AudioFileOpener open, const ITextEncodingDetector& detector, const ICodePage& codePage);

} // namespace linlangok
