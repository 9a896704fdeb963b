#include "common/RegularFile.h"
#include "core/controller/IniFile.h"
#include "core/lyrics/LrcParser.h"
#include "core/performance/LatencyCalibration.h"
#include "core/session/SongMemory.h"
#include "core/songlist/FileFinder.h"
#include "core/songlist/SongListFile.h"
#include "midi/MidiSong.h"
#include "platform/audio/SndFileDecoder.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

namespace linlangok {
namespace {

// Every reader of a file that a user, a list or another program names refuses a directory, a FIFO
// and a link to /dev/zero at once, as it refuses a missing file.
TEST(RegularFile, EveryReaderRefusesADirectoryAFifoAndAnEndlessDevice)
{
    test::CTemporaryFolder folder;
    const test::CLatin1CodePage codePage;
    test::CScriptedUserPrompts prompts;
    test::CGrantedFileLocks locks;
    CMidiSong song(codePage);
    SongList list;
    using Refuses = std::function<bool(const std::filesystem::path&)>;
    const std::pair<const char*, Refuses> readers[] = {
        {"helper", [](auto& path) { return ReadRegularFile(path, 1 << 20).result == EFileRead::NotRegularFile; }},
        {"settings", [&](auto& path) { return !CIniFile::Load(path, codePage); }},
        {"song list", [&](auto& path) { return ReadSongListFile(path, codePage, list) == ESongListRead::Unreadable; }},
        {"lyrics", [&](auto& path) { return !ReadLrcFile(path, codePage, 26); }},
        {"song memory",
            [&](auto& path) { return !IdentifySong(path) && CSongMemory(path, prompts, locks).Recall({}).IsEmpty(); }},
        {"latency", [&](auto& path) { return !LoadLatencyCorrection(path.parent_path(), prompts); }},
        {"MIDI", [&](auto& path) { return !song.Load(path); }},
        {"audio",
            [](auto& path) {
                try {
                    CSndFileDecoder decoder(path);
                } catch (const std::runtime_error&) {
                    return true;
                }
                return false;
            }},
        {"folder scan", [&](auto& path) { return ListFolderFiles(path.parent_path(), u"*", prompts).empty(); }},
    };
    for (const std::string kind : {"directory", "fifo", "zero"}) {
        const auto path = folder.Path() / kind / "Latency.ini"; // the name the latency reader wants
        std::filesystem::create_directory(path.parent_path());
        if (kind == "directory")
            std::filesystem::create_directory(path);
        else if (kind == "fifo")
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        else
            std::filesystem::create_symlink("/dev/zero", path);
        // Every open of the FIFO for reading gets an empty stream: a reader that opens it fails
        // the test instead of waiting for ever.
        std::atomic<bool> read = false;
        std::jthread writer([&] {
            while (kind == "fifo" && !read)
                ::close(::open(path.c_str(), O_WRONLY));
        });
        for (const auto& [reader, refuses] : readers)
            EXPECT_TRUE(refuses(path)) << reader << " read " << kind;
        read = true;
        const int releasing = ::open(path.c_str(), O_RDONLY | O_NONBLOCK); // open while the writer ends
        writer.join();
        ::close(releasing);
    }
    // Regular files are read, through links too, up to the cap.
    std::filesystem::create_symlink(folder.WriteFile("file", "12345"), folder.Path() / "link");
    EXPECT_EQ(ReadRegularFile(folder.Path() / "link", 5).bytes, "12345");
    EXPECT_EQ(ReadRegularFile(folder.Path() / "link", 4).result, EFileRead::TooLarge);
    EXPECT_EQ(ReadRegularFile(folder.Path() / "missing", 4).result, EFileRead::Missing);
}

} // namespace
} // namespace linlangok
