#include "midi/MidiFileWriter.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace linlangok::test {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(LINLANGOK_CORPUS_DIR) / "midi";

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string SaveAndRead(const CMidiSong& song, const std::filesystem::path& path)
{
    CScriptedUserPrompts prompts;
    EXPECT_TRUE(CMidiFileWriter(song, prompts).Write(path, u""));
    return ReadWholeFile(path);
}

// Every valid file loads without a message, and what a save writes loads back and saves again to
// the same bytes.
TEST(MidiCorpus, ValidFilesLoadAndSaveStably)
{
    CTemporaryFolder folder;
    const auto files = FilesIn(kCorpus / "valid");
    ASSERT_GE(files.size(), 11u);
    for (const auto& file : files) {
        SongFixture first;
        ASSERT_TRUE(first.Load(file)) << file;
        EXPECT_EQ(first.prompts.MessageTexts(), std::vector<std::string> {}) << file;
        const std::string saved = SaveAndRead(first.song, folder.Path() / "first.mid");
        SongFixture second;
        ASSERT_TRUE(second.song.Load(folder.Path() / "first.mid")) << file;
        EXPECT_EQ(SaveAndRead(second.song, folder.Path() / "second.mid"), saved) << file;
        ASSERT_EQ(second.song.TrackCount(), first.song.TrackCount());
        for (size_t track = 0; track < first.song.TrackCount(); ++track)
            EXPECT_EQ(second.song.Track(track).Syllables().size(), first.song.Track(track).Syllables().size());
    }
}

// invalid/<reason>/: every file shows the reason's message, and loads or not as the reason says.
TEST(MidiCorpus, InvalidFilesShowTheirReason)
{
    struct Reason {
        const char* message;
        bool loads;
    };
    const std::map<std::string, Reason> reasons = {
        {"not-midi", {"文件类型不正确!", false}},
        {"bad-format", {"文件类型无效!", false}},
        {"format-0-several-tracks", {"无效的文件格式!", false}},
        {"no-tracks", {"音轨数错误!", false}},
        {"smpte", {"对不起,该文件采用了暂时不能处理的SMPTE定时方式!", false}},
        {"meta-length", {"Meta数据长度出错!", false}},
        {"corrupt", {"读文件时出错!", true}},
        {"missing-track-chunks", {"音轨数错误!", true}},
    };
    size_t walked = 0;
    for (const auto& folder : FilesIn(kCorpus / "invalid")) {
        const auto reason = reasons.find(folder.filename().string());
        ASSERT_NE(reason, reasons.end()) << "unknown reason folder " << folder;
        for (const auto& file : FilesIn(folder)) {
            SongFixture fixture;
            EXPECT_EQ(fixture.Load(file), reason->second.loads) << file;
            EXPECT_EQ(fixture.prompts.MessageTexts(), std::vector<std::string> {reason->second.message}) << file;
            ++walked;
        }
    }
    EXPECT_GE(walked, 20u);
}

} // namespace
} // namespace linlangok::test
