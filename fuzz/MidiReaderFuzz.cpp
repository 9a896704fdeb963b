// Fuzz target for the Standard MIDI File reader: loads the input as a song, transposes it, saves
// it and loads the saved file again, which must succeed.

#include "common/UserPrompts.h"
#include "engine/ManualTimerDriver.h"
#include "midi/MidiFileWriter.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using namespace linlangok;

struct CSilentPrompts final : IUserPrompts {
    EPromptAnswer ShowMessage(const MessageRequest&) override { return EPromptAnswer::Ok; }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return {}; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return {}; }
};

const CIconvCodePage* g_gbk = nullptr;
std::filesystem::path g_input;
std::filesystem::path g_saved;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_gbk = new CIconvCodePage("GBK");
    const auto folder = std::filesystem::temp_directory_path();
    g_input = folder / ("linlangok-fuzz-" + std::to_string(getpid()) + ".mid");
    g_saved = folder / ("linlangok-fuzz-" + std::to_string(getpid()) + "-saved.mid");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out(g_input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CSilentPrompts prompts;
    CManualTimerDriver driver;
    CMidiSong song(prompts, *g_gbk, driver);
    if (song.Load(g_input)) {
        const int semitones = size > 0 ? static_cast<int>(data[size / 2] % 255) - 127 : 0;
        for (size_t index = 0; index < song.TrackCount(); ++index) {
            if (song.Track(index).Transpose(semitones))
                song.Track(index).UpdateNotation();
        }
        (void)song.LengthSeconds();
        if (CMidiFileWriter(song, prompts).Write(g_saved, u"")) {
            CMidiSong reloaded(prompts, *g_gbk, driver);
            if (!reloaded.Load(g_saved) || reloaded.TrackCount() != song.TrackCount())
                std::abort();
        }
    }
    return 0;
}
