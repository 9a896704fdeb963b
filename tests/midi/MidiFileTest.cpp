#include "midi/MidiFileReader.h"
#include "midi/MidiFileWriter.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace linlangok::test {
namespace {

// A song read from and written as Standard MIDI File bytes.
struct MidiFileTest : SongFixture, ::testing::Test {
    CTemporaryFolder folder;
    using SongFixture::Load;
    bool Load(const std::string& bytes) { return Load(AsBytes(bytes)); }
    bool Read(const std::string& bytes) { return SongFixture::Read(AsBytes(bytes)); }

    // The bytes a save writes, through the file or to memory.
    std::string Written()
    {
        const auto path = folder.Path() / "out.mid";
        EXPECT_TRUE(CMidiFileWriter(song, prompts).Write(path, u"琳朗卡拉OK 1.2"));
        return ReadWholeFile(path);
    }
    std::string Saved()
    {
        std::ostringstream saved;
        CMidiFileWriter(song, prompts).WriteSong(saved);
        return saved.str();
    }

    std::string LoadAndWrite(const std::string& file, int pitch = 0)
    {
        EXPECT_TRUE(Load(file));
        for (size_t index = 0; index < song.TrackCount(); ++index)
            song.Track(index).Transpose(pitch);
        return Written();
    }
};
using MidiFileReaderTest = MidiFileTest;
using MidiFileWriterTest = MidiFileTest;

TEST_F(MidiFileReaderTest, FormatOneWithATempoTrackLoadsAsItIs)
{
    const std::string file = SmfHeader(1, 3, 480)
        + SmfTrack(Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + MetaEvent(0, 3, "Song") + kEnd)
        + SmfTrack(Bytes({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x40, 0x83, 0x60, 0x3C, 0x00}) + kEnd)
        + SmfTrack(Bytes({0x00, 0x91, 0x40, 0x40, 0x87, 0x40, 0x40, 0x00}) + kEnd);
    ASSERT_TRUE(Load(file));
    EXPECT_TRUE(prompts.m_messages.empty());
    EXPECT_EQ(song.Format(), 1);
    EXPECT_EQ(song.Division(), 480);
    EXPECT_EQ(DescribeSong(song),
        (std::vector<Lines> {{"0/0 FF 51 07 A1 20", "0/0 FF 03 \"Song\"", "0/0 FF 2F"},
            {"0/0 C0 05", "0/0 90 3C 40", "480/480 90 3C 00", "480/0 FF 2F"},
            {"0/0 91 40 40", "960/960 91 40 00", "960/0 FF 2F"}}));
    EXPECT_EQ(song.Title(), u"Song");
    EXPECT_DOUBLE_EQ(song.LengthSeconds(), 1.0);
}

TEST_F(MidiFileReaderTest, NotesInTheFirstTrackGetAConductorTrackAndKeepTheirTempo)
{
    // Set Tempo 750000 at tick 0, a lyric and Set Tempo 1000000 at tick 96.
    const std::string file = SmfHeader(1, 2, 96)
        + SmfTrack(Bytes({0x00, 0xFF, 0x51, 0x03, 0x0B, 0x71, 0xB0, 0x00, 0x90, 0x3C, 0x40}) + MetaEvent(96, 5, "la")
            + Bytes({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x60, 0x80, 0x3C, 0x00}) + kEnd)
        + SmfTrack(Bytes({0x00, 0x91, 0x3C, 0x40, 0x60, 0x3C, 0x00, 0x60, 0xFF, 0x2F, 0x00}));
    ASSERT_TRUE(Load(file));
    ASSERT_EQ(song.TrackCount(), 3u);
    EXPECT_EQ(Describe(song.Track(0)),
        (Lines {"0/0 FF 03 \"未命名\"", "0/0 FF 03 \"\"", "0/0 FF 01 \"\"", "0/0 FF 01 \"\"", "0/0 FF 02 \"\"",
            "0/0 FF 01 \"欢迎光临 http://www.orbisong.com\"", "0/0 FF 51 0B 71 B0", "96/96 FF 51 0F 42 40",
            "96/0 FF 2F"}));
    EXPECT_EQ(
        Describe(song.Track(1)), (Lines {"0/0 90 3C 40", "96/96 FF 05 \"la\"", "192/96 80 3C 00", "192/0 FF 2F"}));
    EXPECT_EQ(song.Track(1).Syllables().back().time, 0.75f);
    EXPECT_DOUBLE_EQ(song.LengthSeconds(), 1.75);
    // A transposed copy keeps the tempo.
    for (size_t track = 0; track < song.TrackCount(); ++track)
        song.Track(track).Transpose(2);
    SongFixture copy;
    ASSERT_TRUE(copy.song.Load(AsBytes(Saved())));
    EXPECT_EQ(copy.song.TempoMap().Segments().front().tempo, 750000);
    EXPECT_DOUBLE_EQ(copy.song.LengthSeconds(), 1.75);
    // A track other than track 0 keeps the End of Track delta read from the file.
    EXPECT_EQ(Describe(song.Track(2)).back(), "96/96 FF 2F");
    EXPECT_EQ(song.InfoText(), std::u16string(kWelcomeLine) + u" ");
}

TEST_F(MidiFileReaderTest, LateFirstTempoGetsTheDefaultTempoBeforeIt)
{
    // Set Tempo 1000000 at tick 960, a lyric at 480, the last note at 1920.
    const std::string file = SmfHeader(1, 2, 480)
        + SmfTrack(Bytes({0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) + kEnd)
        + SmfTrack(MetaEvent(480, 5, "la") + Bytes({0x00, 0x90, 0x3C, 0x40, 0x8B, 0x20, 0x3C, 0x00}) + kEnd);
    ASSERT_TRUE(Load(file));
    ASSERT_EQ(song.TempoMap().Segments().size(), 2u);
    EXPECT_EQ(song.TempoMap().Segments()[0].tempo, 500000);
    EXPECT_EQ(song.TempoMap().Segments()[0].tick, 0);
    EXPECT_EQ(song.TempoMap().Segments()[1].start, 1.0f);
    EXPECT_EQ(song.Track(1).Syllables().back().time, 0.5f);
    EXPECT_DOUBLE_EQ(song.LengthSeconds(), 3.0);
}

TEST_F(MidiFileReaderTest, FormatZeroIsSplitByChannel)
{
    const std::string file = SmfHeader(0, 1, 96)
        + SmfTrack(MetaEvent(0, 3, "Zero")
            + Bytes({0x00, 0xC0, 0x01, 0x00, 0xC1, 0x02, 0x00, 0x90, 0x3C, 0x40, 0x00, 0x91, 0x40, 0x40, 0x00, 0x99,
                0x24, 0x64, 0x00, 0xC5, 0x07, 0x60, 0x80, 0x3C, 0x00, 0x00, 0x81, 0x40, 0x00, 0x00, 0x89, 0x24, 0x00})
            + kEnd);
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(song.Format(), 1);
    EXPECT_EQ(DescribeSong(song),
        (std::vector<Lines> {{"0/0 FF 03 \"Zero\"", "0/0 FF 51 07 A1 20", "0/0 FF 2F"},
            {"0/0 FF 03 \"F0Track1\"", "0/0 C0 01", "0/0 90 3C 40", "96/96 80 3C 00", "96/0 FF 2F"},
            {"0/0 FF 03 \"F0Track2\"", "0/0 C1 02", "0/0 91 40 40", "96/96 81 40 00", "96/0 FF 2F"},
            {"0/0 FF 03 \"F0Track10\"", "0/0 99 24 64", "96/96 89 24 00", "96/0 FF 2F"}}));
    // Without a Set Tempo in the file the song gets the default tempo.
    EXPECT_EQ(song.TempoReferences().size(), 1u);
    EXPECT_DOUBLE_EQ(song.LengthSeconds(), 0.5);
}

// Files read without the post-processing: each track as Describe shows it, and the messages.
TEST_F(MidiFileReaderTest, OddButReadableFilesAreReadWhole)
{
    const std::string note = SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40}) + kEnd);
    const Lines noteLines {"0/0 90 3C 40", "0/0 FF 2F"};
    const struct {
        const char* what;
        std::string bytes;
        std::vector<Lines> tracks;
        std::vector<std::string> messages;
    } cases[] = {
        {"running status survives a meta event",
            SmfHeader(1, 1, 96)
                + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40, 0x10, 0xFF, 0x01, 0x00, 0x10, 0x3E, 0x40, 0x00, 0xF0, 0x03,
                               0x43, 0x12, 0xF7, 0x00, 0x40, 0x40})
                    + kEnd),
            {{"0/0 90 3C 40", "16/16 FF 01 \"\"", "32/16 90 3E 40", "32/0 F0 43 12 F7", "32/0 90 40 40", "32/0 FF 2F"}},
            {}},
        {"other chunks are skipped",
            SmfHeader(1, 2, 96) + "MTxx" + Bytes({0, 0, 0, 2, 'x', 'x'}) + note + "junk" + note, {noteLines, noteLines},
            {}},
        {"MMTrk: the second M is the mismatch after the first, so no chunk starts there",
            SmfHeader(1, 1, 96) + "MMTrk" + Bytes({0, 0, 0, 4}) + kEnd, {{"0/0 FF 2F"}}, {"音轨数错误!"}},
        {"a division ending in the letter M (333 is 0x014D) keeps the first track", SmfHeader(1, 1, 333) + note,
            {noteLines}, {}},
        {"a chunk length of 0: the track is read up to its End of Track",
            SmfHeader(1, 2, 96) + "MTrk" + Bytes({0, 0, 0, 0}) + Bytes({0x00, 0x90, 0x3C, 0x40}) + kEnd + note,
            {noteLines, noteLines}, {}},
        {"missing tracks stay empty and the reading goes on", SmfHeader(1, 3, 96) + note + note,
            {noteLines, noteLines, {"0/0 FF 2F"}}, {"音轨数错误!"}},
    };
    for (const auto& test : cases) {
        SongFixture fixture;
        EXPECT_TRUE(fixture.Read(AsBytes(test.bytes))) << test.what;
        EXPECT_EQ(DescribeSong(fixture.song), test.tracks) << test.what;
        EXPECT_EQ(fixture.prompts.MessageTexts(), test.messages) << test.what;
    }
}

// What each refused file says, and whether it loads, is the corpus walk's matter (MidiCorpusTest).
TEST_F(MidiFileReaderTest, AMetaLengthErrorKeepsTheEventsReadBeforeIt)
{
    EXPECT_FALSE(Load(
        SmfHeader(1, 1, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x00, 0x02, 0x00, 0x01}) + kEnd)));
    EXPECT_EQ(Describe(song.Track(0)), (Lines {"0/0 90 3C 40", "0/0 FF 2F"}));
}

TEST_F(MidiFileReaderTest, CorruptDataEndsItsTrackAndTheNextChunkIsFoundByTheLength)
{
    const std::string head = SmfHeader(1, 2, 96);
    const std::string second = SmfTrack(Bytes({0x00, 0x91, 0x3C, 0x40}) + kEnd);
    const std::string events = Bytes({0x00, 0x90, 0x3C, 0x40});
    const std::string corruptions[] = {
        "", // no End of Track
        Bytes({0x81, 0x80}), // cut-off delta
        Bytes({0x00, 0x90, 0x3C}), // cut-off event
        Bytes({0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 0x41}), // length beyond the chunk
        Bytes({0x00, 0xF0, 0x81, 0x00, 0x01}), // system exclusive beyond the chunk
        Bytes({0x80, 0x80, 0x80, 0x80, 0x00, 0x3C, 0x40}), // five-byte delta
        Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C,
            0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C,
            0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F}),
    };
    for (const std::string& corruption : corruptions) {
        SongFixture fixture;
        const std::string file = head + SmfTrack(events + corruption) + second;
        EXPECT_TRUE(fixture.Load(AsBytes(file)));
        EXPECT_EQ(fixture.prompts.MessageTexts(), std::vector<std::string> {"读文件时出错!"});
        ASSERT_EQ(fixture.song.TrackCount(), 3u);
        // After the conductor track: the start of the corrupt track, and the next track whole.
        EXPECT_EQ(Describe(fixture.song.Track(1)).front(), "0/0 90 3C 40");
        EXPECT_EQ(Describe(fixture.song.Track(2)), (Lines {"0/0 91 3C 40", "0/0 FF 2F"}));
    }
    // Data bytes before any status byte.
    EXPECT_TRUE(Read(head + SmfTrack(Bytes({0x00, 0x3C, 0x40}) + kEnd) + second));
    EXPECT_EQ(prompts.MessageTexts(), std::vector<std::string> {"读文件时出错!"});
    EXPECT_EQ(song.Track(0).Count(), 1u);
    EXPECT_EQ(song.Track(1).Count(), 2u);
}

TEST_F(MidiFileReaderTest, DataByteWithItsTopBitSetIsReadWithoutThatBit)
{
    // Track 1 of 3: velocity 0xC0, key 0xBC, program 0x85.
    const std::string rest
        = SmfTrack(Bytes({0x00, 0x91, 0x40, 0x40}) + kEnd) + SmfTrack(Bytes({0x00, 0x92, 0x43, 0x40}) + kEnd);
    ASSERT_TRUE(Read(SmfHeader(1, 3, 96)
        + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0xC0, 0x60, 0x80, 0xBC, 0x00, 0x00, 0xC0, 0x85}) + kEnd) + rest));
    EXPECT_TRUE(prompts.m_messages.empty());
    EXPECT_EQ(Describe(song.Track(0)), (Lines {"0/0 90 3C 40", "96/96 80 3C 00", "96/0 C0 05", "96/0 FF 2F"}));
    EXPECT_EQ(song.Track(2).Count(), 2u);
    EXPECT_EQ(Saved(),
        SmfHeader(1, 3, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xC0, 0x05}) + kEnd)
            + rest);
}

TEST_F(MidiFileReaderTest, SystemCommonAndRealTimeBytesAreSkippedWithTheirData)
{
    for (int status = 0xF1; status <= 0xFE; ++status) {
        if (status == 0xF7)
            continue;
        const size_t dataBytes = status == 0xF2 ? 2 : status == 0xF1 || status == 0xF3 ? 1 : 0;
        // Note-on, the byte 96 ticks later, then a running-status note-off 96 ticks after it.
        const std::string skipped = Bytes({0x60, status}) + std::string(dataBytes, '\x01');
        ASSERT_TRUE(Read(SmfHeader(1, 1, 96)
            + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40}) + skipped + Bytes({0x60, 0x3C, 0x00}) + kEnd)));
        EXPECT_EQ(Describe(song.Track(0)), (Lines {"0/0 90 3C 40", "192/192 90 3C 00", "192/0 FF 2F"})) << status;
        EXPECT_EQ(
            Saved(), SmfHeader(1, 1, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40, 0x81, 0x40, 0x3C, 0x00}) + kEnd))
            << status;
    }
    EXPECT_TRUE(prompts.m_messages.empty());
}

TEST_F(MidiFileReaderTest, FilesAreReadWholeAndOpenFailuresLeaveTheSongAlone)
{
    ASSERT_TRUE(Load(folder.WriteFile("song.mid", SmfHeader(1, 1, 96) + SmfTrack(kEnd))));
    EXPECT_EQ(song.TrackCount(), 1u);
    EXPECT_FALSE(Load(""));
    EXPECT_TRUE(prompts.m_messages.empty());
    EXPECT_FALSE(Load(folder.Path() / "missing.mid"));
    EXPECT_FALSE(Load(folder.Path()));
    // Larger than any song: refused before anything is read (the file is sparse).
    const auto huge = folder.WriteFile("huge.mid", SmfHeader(1, 1, 96));
    std::filesystem::resize_file(huge, kMaximumMidiFileSize + 1);
    EXPECT_FALSE(Load(huge));
    EXPECT_EQ(prompts.MessageTexts(),
        (std::vector<std::string> {
            "不能打开所选文件,或文件不存在!", "不能打开所选文件,或文件不存在!", "读文件时出错!"}));
    EXPECT_EQ(song.TrackCount(), 1u);
    EXPECT_EQ(song.LyricTrack(), &song.Track(0));
}

TEST_F(MidiFileReaderTest, ClearingTheSongWithdrawsTheLyricTrack)
{
    const std::string file = SmfHeader(1, 1, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40}) + kEnd);
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(song.LyricTrack(), &song.Track(0));
    // A refused file clears the song: no lyric track is left to point into it.
    EXPECT_FALSE(Load(SmfHeader(7, 1, 96)));
    EXPECT_EQ(song.LyricTrack(), nullptr);
}

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

    // A delta that no variable-length quantity holds makes the write fail midway.
    song.Track(0).Append(NoteOn(0, 60, 64), 0x10000000);
    EXPECT_FALSE(writer.Write(path, u"标题"));
    EXPECT_EQ(ReadWholeFile(path), "good content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

} // namespace
} // namespace linlangok::test
