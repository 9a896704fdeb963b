// Fuzz target for the Standard MIDI File reader: loads the input bytes as a song (its texts in the
// detected encoding), transposes it, saves it in memory and loads the saved bytes again, which
// must succeed without any message and give the same tracks.

#include "common/UserPrompts.h"
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

struct CCountingPrompts final : IUserPrompts {
    EPromptAnswer ShowMessage(const MessageRequest&) override
    {
        ++shown;
        return EPromptAnswer::Ok;
    }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return {}; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return {}; }

    int shown = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const CIconvCodePage gbk("GBK");
    static const CUchardetTextEncodings encodings(gbk);
    CCountingPrompts prompts;
    CMidiSong song(prompts, gbk);
    if (!song.Load(std::span<const uint8_t>(data, size), encodings))
        return 0;
    const int semitones = size > 0 ? static_cast<int>(data[size / 2] % 255) - 127 : 0;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        song.Track(index).Transpose(semitones);
    (void)song.LengthSeconds();
    std::ostringstream saved;
    try {
        CMidiFileWriter(song, prompts).WriteSong(saved);
    } catch (const std::exception&) {
        return 0; // a song the format cannot hold
    }
    const std::string bytes = saved.str();
    CCountingPrompts reloadPrompts;
    CMidiSong reloaded(reloadPrompts, gbk);
    if (!reloaded.Load(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        || reloadPrompts.shown != 0 || reloaded.TrackCount() != song.TrackCount())
        std::abort();
    return 0;
}
