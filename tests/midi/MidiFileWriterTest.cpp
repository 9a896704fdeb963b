#include "midi/MidiFileWriter.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok::test {
namespace {

const std::string kEnd = Bytes({0x00, 0xFF, 0x2F, 0x00});

struct MidiFileWriterTest : SongFixture, ::testing::Test {
    CTemporaryFolder folder;

    std::string Written()
    {
        const auto path = folder.Path() / "out.mid";
        EXPECT_TRUE(CMidiFileWriter(song, prompts).Write(path, u"琳朗卡拉OK 1.2"));
        return ReadWholeFile(path);
    }

    std::string LoadAndWrite(const std::string& file, int pitch = 0)
    {
        EXPECT_TRUE(song.Load(folder.WriteFile("in.mid", file)));
        for (size_t index = 0; index < song.TrackCount(); ++index)
            song.Track(index).Transpose(pitch);
        return Written();
    }
};

TEST_F(MidiFileWriterTest, EmptySongAndEmptyTrack)
{
    EXPECT_EQ(Written(), SmfHeader(1, 0, 96));
    song.SetFormat(2);
    song.SetDivision(480);
    AddEmptyTrack();
    EXPECT_EQ(Written(), SmfHeader(2, 1, 480) + SmfTrack(kEnd));
}

TEST_F(MidiFileWriterTest, ReadingAndWritingBackGivesTheSameBytes)
{
    const std::string file = SmfHeader(1, 3, 480)
        + SmfTrack(MetaEvent(0, 3, Gbk("茉莉花")) + Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + kEnd)
        + SmfTrack(Bytes({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x40, 0x00, 0x3E, 0x40, 0x83, 0x60, 0x3C, 0x00, 0x00,
                       0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0x90, 0x3E, 0x00, 0x00, 0xE0, 0x00, 0x40})
            + MetaEvent(10, 5, Gbk("好")) + Bytes({0x60, 0xFF, 0x2F, 0x00}))
        + SmfTrack(Bytes({0x00, 0xB1, 0x07, 0x64, 0x00, 0x0A, 0x40}) + kEnd);
    EXPECT_EQ(LoadAndWrite(file), file);
}

TEST_F(MidiFileWriterTest, TransposedSaveMovesNotesButNotDrums)
{
    const std::string head = SmfHeader(1, 3, 96) + SmfTrack(Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + kEnd);
    const auto notes = [](int channel, int low, int high) {
        return SmfTrack(Bytes({0x00, 0x90 | channel, low, 0x40, 0x10, high, 0x40, 0x10, low, 0x00, 0x00, 0x80 | channel,
                            high, 0x00})
            + kEnd);
    };
    EXPECT_EQ(
        LoadAndWrite(head + notes(0, 60, 126) + notes(9, 36, 42), 2), head + notes(0, 61, 127) + notes(9, 36, 42));
}

TEST_F(MidiFileWriterTest, FailedSaveKeepsTheOldFileAndSaysSo)
{
    AddEmptyTrack();
    const auto path = folder.WriteFile("good.mid", "good content");
    CMidiFileWriter writer(song, prompts);
    EXPECT_FALSE(writer.Write(folder.Path() / "missing-folder" / "x.mid", u"标题"));
    EXPECT_FALSE(writer.Write(folder.Path(), u"标题"));
    EXPECT_EQ(prompts.MessageTexts(), (std::vector<std::string> {"写Mid文件时出错!", "写Mid文件时出错!"}));
    EXPECT_EQ(prompts.m_messages[0].caption, u"标题");

    // A delta that no variable-length quantity holds makes the write fail midway.
    song.Track(0).Append(NoteOn(0, 60, 64), 0x10000000);
    EXPECT_FALSE(writer.Write(path, u"标题"));
    EXPECT_EQ(ReadWholeFile(path), "good content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

} // namespace
} // namespace linlangok::test
