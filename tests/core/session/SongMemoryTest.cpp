#include "core/session/SongMemory.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace linlangok {
namespace {

using test::CGrantedFileLocks;
using test::CScriptedUserPrompts;
using test::CTemporaryFolder;
using test::ReadWholeFile;

class SongMemoryTest : public ::testing::Test {
protected:
    std::filesystem::path MemoryFile() const { return m_folder.Path() / kSongMemoryFileName; }

    CTemporaryFolder m_folder;
    CScriptedUserPrompts m_prompts;
    CGrantedFileLocks m_locks;
};

TEST_F(SongMemoryTest, WhatASongRemembersSurvivesARestartAndEmptyValuesForgetIt)
{
    const SongIdentity first {1234, 0x0123456789abcdefull};
    const SongIdentity second {99, 1};
    SongMemoryValues values;
    values.pitch = -3;
    values.lyricPath = u"/歌词/\xDCD6\xDCD0.lrc"; // a GBK name, as the file system holds it
    values.encoding = "BIG5";
    values.lrcOffsetMilliseconds = -300;
    values.melody = false;
    values.vocalLayout = VocalLayout {VocalLayout::EPlace::Track, 1};
    values.loudness = LoudnessMeasure {-23.5, -3.25};
    values.bestScore = 87;
    // What the file cannot hold is dropped or clamped.
    SongMemoryValues odd;
    odd.pitch = 200;
    odd.lyricPath = u"/a\nb.lrc";
    odd.encoding = "GBK\n[1:2]";
    odd.lrcOffsetMilliseconds = 1 << 30;
    odd.loudness = LoudnessMeasure {-80.0, 0.0};
    odd.bestScore = 250;
    {
        CSongMemory memory(MemoryFile(), m_prompts, m_locks);
        EXPECT_EQ(memory.Recall(first), SongMemoryValues {});
        EXPECT_TRUE(memory.Remember(first, values));
        EXPECT_TRUE(memory.Remember(second, odd));
    }
    EXPECT_THAT(ReadWholeFile(MemoryFile()),
        testing::HasSubstr(
            "[1234:0123456789abcdef]\npitch=-3\nlyric=file:///%E6%AD%8C%E8%AF%8D/%D6%D0.lrc\nencoding=BIG5\n"
            "lrc-offset-ms=-300\nmelody=0\nvocal=track 2\nloudness=-23.50 -3.25\nbest-score=87\n"));
    CSongMemory memory(MemoryFile(), m_prompts, m_locks);
    EXPECT_EQ(memory.Recall(first), values);
    SongMemoryValues clamped;
    clamped.pitch = 127;
    clamped.lrcOffsetMilliseconds = kMaximumLrcOffsetMilliseconds;
    clamped.bestScore = 100;
    EXPECT_EQ(memory.Recall(second), clamped);
    EXPECT_TRUE(memory.Remember(first, {}));
    EXPECT_EQ(CSongMemory(MemoryFile(), m_prompts, m_locks).Recall(first), SongMemoryValues {});
    EXPECT_THAT(ReadWholeFile(MemoryFile()), testing::Not(testing::HasSubstr("1234")));
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(SongMemoryTest, TwoInstancesKeepEachOthersSongs)
{
    const SongIdentity mine {10, 1};
    const SongIdentity theirs {20, 2};
    CSongMemory first(MemoryFile(), m_prompts, m_locks);
    CSongMemory second(MemoryFile(), m_prompts, m_locks);
    EXPECT_EQ(first.Recall(mine), SongMemoryValues {});
    SongMemoryValues pitched;
    pitched.pitch = 2;
    EXPECT_TRUE(second.Remember(theirs, pitched));
    pitched.pitch = -1;
    EXPECT_TRUE(first.Remember(mine, pitched));
    EXPECT_EQ(first.Recall(theirs).pitch, 2);
    EXPECT_EQ(CSongMemory(MemoryFile(), m_prompts, m_locks).Recall(theirs).pitch, 2);
    EXPECT_EQ(second.Recall(mine).pitch, -1);
}

TEST_F(SongMemoryTest, ASongIsKnownByItsBytesWhereverItLies)
{
    const auto song = m_folder.WriteFile("song.mid", "MThd song bytes");
    const auto identity = IdentifySong(song);
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->size, 15u);
    std::filesystem::create_directory(m_folder.Path() / "moved");
    const auto moved = m_folder.Path() / "moved" / "改名.mid";
    std::filesystem::rename(song, moved);
    EXPECT_EQ(IdentifySong(moved), identity);
    EXPECT_NE(IdentifySong(m_folder.WriteFile("other.mid", "MThd song bytez")), identity);
    EXPECT_EQ(IdentifySong(song), std::nullopt); // gone
    EXPECT_EQ(IdentifySong(m_folder.WriteFile("empty.mid", "")), std::nullopt);
    EXPECT_EQ(IdentifySong(m_folder.Path()), std::nullopt);

    // A long file is known by its size and its first and last parts.
    std::string bytes(3 * kSongHashPartBytes, 'x');
    const auto long1 = IdentifySong(m_folder.WriteFile("long.wav", bytes));
    bytes[kSongHashPartBytes + 10] = 'y';
    EXPECT_EQ(IdentifySong(m_folder.WriteFile("long.wav", bytes)), long1);
    bytes[bytes.size() - 10] = 'y';
    EXPECT_NE(IdentifySong(m_folder.WriteFile("long.wav", bytes)), long1);
}

TEST_F(SongMemoryTest, ContentItDoesNotUnderstandIsSkippedWithOneWarningAndKeptAside)
{
    const std::string good = "[15:00000000000000ff]\npitch=2\n";
    struct Row {
        std::string content;
        bool keepsGood;
    };
    const Row rows[] = {
        {"\x01\xff\xfe garbage", false},
        {"[Settings]\nVolume=3\n" + good, true},
        {good + "pitch=900\nmelody=yes\nkey=value\nno equals sign\n[15:xyz]\npitch=1\n", true},
        {good + "loudness=-20\nloudness=-71 -3\nloudness=-20 nan\nloudness=-20 -3 x\n", true},
        {good + "best-score=101\nbest-score=-1\nbest-score=9x\n", true},
        {good + "vocal=middle\nvocal=track 0\nvocal=track 100\nvocal=track 1x\n", true},
        {"pitch=1\n" + good + "lyric=\xff\xfe\n", true},
        {good + std::string(kMaximumSongMemoryBytes, ';'), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.content.substr(0, 40));
        m_prompts.m_messages.clear();
        m_folder.WriteFile(kSongMemoryFileName, row.content);
        CSongMemory memory(MemoryFile(), m_prompts, m_locks);
        const SongIdentity song {15, 0xff};
        EXPECT_EQ(memory.Recall(song).pitch, row.keepsGood ? std::optional<std::int32_t>(2) : std::nullopt);
        memory.Recall(song);
        ASSERT_EQ(m_prompts.m_messages.size(), 1u);
        EXPECT_THAT(m_prompts.MessageTexts()[0], testing::HasSubstr("已忽略"));
        // The file as it was is kept aside before the next change rewrites it.
        EXPECT_EQ(ReadWholeFile(m_folder.Path() / "SongMemory.ini.bak"), row.content);
        SongMemoryValues values;
        values.melody = true;
        EXPECT_TRUE(memory.Remember({1, 1}, values));
        EXPECT_EQ(CSongMemory(MemoryFile(), m_prompts, m_locks).Recall(song).pitch, memory.Recall(song).pitch);
        EXPECT_EQ(m_prompts.m_messages.size(), 1u);
    }
}

TEST_F(SongMemoryTest, AFailedSaveIsReportedOnce)
{
    CSongMemory memory(m_folder.Path() / "missing folder" / kSongMemoryFileName, m_prompts, m_locks);
    SongMemoryValues values;
    values.pitch = 1;
    EXPECT_FALSE(memory.Remember({1, 1}, values));
    EXPECT_FALSE(memory.Remember({1, 1}, values));
    EXPECT_THAT(m_prompts.MessageTexts(), testing::ElementsAre(testing::HasSubstr("无法保存歌曲记忆文件")));
    EXPECT_EQ(memory.Recall({1, 1}), values); // kept for this run
}

} // namespace
} // namespace linlangok
