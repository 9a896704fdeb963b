// Fuzz target for the Standard MIDI File reader: loads the input bytes as a song (its texts in the
// detected encoding), transposes it, saves it in memory and loads the saved bytes again, which
// must succeed without any message and give the same tracks.

#include "common/QuietPrompts.h"
#include "midi/MidiFileWriter.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <sstream>
#include <string>

namespace {

using namespace linlangok;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const CIconvCodePage gbk("GBK");
    static const CUchardetTextEncodings encodings(gbk);
    CMidiSong song(gbk);
    if (!song.Load(std::span<const std::uint8_t>(data, size), encodings))
        return 0;
    const int semitones = size > 0 ? static_cast<int>(data[size / 2] % 255) - 127 : 0;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        song.Track(index).Transpose(semitones);
    (void)song.LengthSeconds();
    std::ostringstream saved;
    try {
        CQuietPrompts prompts;
        CMidiFileWriter(song, prompts).WriteSong(saved);
    } catch (const std::exception&) {
        return 0; // a song the format cannot hold
    }
    const std::string bytes = saved.str();
    CMidiSong reloaded(gbk);
    const SongLoad reload = reloaded.Load(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!reload || !reload.messages.empty() || reloaded.TrackCount() != song.TrackCount())
        std::abort();
    return 0;
}
