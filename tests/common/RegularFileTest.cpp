// Every reader of a file that a user, a list or another program names refuses a directory, a
// FIFO and a link to /dev/zero at once, as it refuses a missing file.
#include "common/RegularFile.h"
#include "app/IniFile.h"
#include "engine/LatencyCalibration.h"
#include "engine/ManualTimerDriver.h"
#include "lyrics/LrcParser.h"
#include "midi/MidiSong.h"
#include "platform/audio/SndFileDecoder.h"
#include "session/SongMemory.h"
#include "songlist/FileFinder.h"
#include "songlist/SongListFile.h"
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

// Answers every open of the FIFO for reading with an empty stream, so that a reader that opens it
// meets its end instead of waiting for a writer for ever.
class CFifoWriter {
public:
    explicit CFifoWriter(const std::filesystem::path& fifo)
        : m_fifo(fifo)
        , m_thread([this] {
            while (!m_stop)
                ::close(::open(m_fifo.c_str(), O_WRONLY));
        })
    {
    }
    ~CFifoWriter()
    {
        m_stop = true;
        const int releasing = ::open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK);
        m_thread.join();
        ::close(releasing);
    }

private:
    std::filesystem::path m_fifo;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

TEST(RegularFile, EveryReaderRefusesADirectoryAFifoAndAnEndlessDevice)
{
    test::CTemporaryFolder folder;
    const test::CLatin1CodePage codePage;
    test::CScriptedUserPrompts prompts;
    CManualTimerDriver timer;
    CMidiSong song(prompts, codePage, timer);
    SongList list;
    using Refuses = std::function<bool(const std::filesystem::path&)>;
    const std::pair<const char*, Refuses> readers[] = {
        {"helper", [](auto& path) { return ReadRegularFile(path, 1 << 20).result == EFileRead::NotRegularFile; }},
        {"settings", [&](auto& path) { return !CIniFile::Load(path, codePage); }},
        {"song list", [&](auto& path) { return ReadSongListFile(path, codePage, list) == ESongListRead::Unreadable; }},
        {"lyrics", [&](auto& path) { return !ReadLrcFile(path, codePage, 26); }},
        {"song memory",
            [&](auto& path) {
                return CSongMemory(path, prompts).Recall({1, 1}).IsEmpty();
            }},
        {"song identity", [](auto& path) { return !IdentifySong(path); }},
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
        const auto writer = kind == "fifo" ? std::make_unique<CFifoWriter>(path) : nullptr;
        for (const auto& [reader, refuses] : readers)
            EXPECT_TRUE(refuses(path)) << reader << " read " << kind;
    }

    // Regular files are read, through links too, up to the cap.
    std::filesystem::create_symlink(folder.WriteFile("file", "12345"), folder.Path() / "link");
    EXPECT_EQ(ReadRegularFile(folder.Path() / "link", 5).bytes, "12345");
    EXPECT_EQ(ReadRegularFile(folder.Path() / "link", 4).result, EFileRead::TooLarge);
    EXPECT_EQ(ReadRegularFile(folder.Path() / "missing", 4).result, EFileRead::Missing);
}

} // namespace
} // namespace linlangok
