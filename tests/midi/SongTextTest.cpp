#include "common/Text.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/ScriptedEncodingDetector.h"

#include <gtest/gtest.h>

namespace linlangok::test {
namespace {

struct SongTextTest : SongFixture, ::testing::Test {
    CRecordingLyricView view;

    SongTextTest()
    {
        song.SetLyricTrackView(&view);
        song.SetDivision(480);
    }

    CMetaMessage* Text(int type, std::string_view utf8) { return Meta(type, Gbk(utf8)); }

    // Title texts from track 0, tempo map, lyrics and publication, as a load does them.
    void Extract()
    {
        song.ResetText();
        song.TakeNotice(song.Track(0));
        song.TakeNames(song.Track(0));
        song.TakeTexts(song.Track(0));
        song.NormalizeTempo();
        song.BuildTempoMap();
        song.BuildLyrics();
        song.PublishLyricTrack();
    }

    // Each header line as its text, checking the empty syllables that fill it.
    static std::vector<std::string> HeaderTexts(const CMidiTrack& track)
    {
        std::vector<std::string> lines;
        for (int line = 0; line < track.HeaderLines(); ++line) {
            for (int filler = 1; filler < kSyllablesPerLine; ++filler)
                EXPECT_EQ(track.Syllables()[line * kSyllablesPerLine + filler].text, u"");
            lines.push_back(Utf16ToUtf8(track.Syllables()[line * kSyllablesPerLine].text));
        }
        return lines;
    }

    static std::vector<std::string> LyricTexts(const CMidiTrack& track)
    {
        std::vector<std::string> texts;
        for (size_t index = track.HeaderLines() * kSyllablesPerLine; index < track.Syllables().size(); ++index)
            texts.push_back(Utf16ToUtf8(track.Syllables()[index].text));
        return texts;
    }
};

TEST_F(SongTextTest, TitleTextsAndHeaderLines)
{
    CMidiTrack& conductor = AddEmptyTrack();
    for (auto [type, text] :
        std::initializer_list<std::pair<int, const char*>> {{3, "茉莉花"}, {3, "江苏民歌"}, {2, "公有领域\r\n"},
            {1, "民间曲调\r\n"}, {1, " 民间歌词 "}, {1, "\n第一行\n\n第三行"}, {1, "尾"}, {3, "多余"}})
        conductor.Append(Text(type, text), 0);
    conductor.Append(Tempo(500000), 0);
    CMidiTrack& lyrics = AddEmptyTrack();
    lyrics.Append(Text(5, "好"), 960);
    lyrics.Append(Text(5, "/"), 240);
    lyrics.Append(Text(5, "\\"), 240);
    lyrics.Append(Text(5, ""), 240);
    lyrics.Append(Text(5, "\r\n"), 240);
    Extract();

    EXPECT_EQ(song.Title(), u"茉莉花");
    EXPECT_EQ(song.Subtitle(), u"江苏民歌");
    EXPECT_EQ(song.Notice(), u"公有领域");
    EXPECT_EQ(song.Text1(), u"民间曲调");
    EXPECT_EQ(song.Text2(), u"民间歌词");
    EXPECT_EQ(song.InfoText(), u"第一行\n\n第三行 尾 ");
    EXPECT_EQ(lyrics.HeaderLines(), 9);
    EXPECT_EQ(HeaderTexts(lyrics),
        (std::vector<std::string> {
            "茉莉花", "江苏民歌", "民间曲调: 作曲", "民间歌词: 作词", "公有领域", "第一行", "", "第三行 尾 ", " "}));
    EXPECT_EQ(LyricTexts(lyrics), (std::vector<std::string> {"好", "/", "\\", ""}));
    const LyricSyllable& first = lyrics.Syllables()[lyrics.HeaderLines() * kSyllablesPerLine];
    EXPECT_EQ(first.tick, 960);
    EXPECT_FLOAT_EQ(first.time, 1.0f);
    EXPECT_EQ(view.calls, (std::vector<const CMidiTrack*> {nullptr, &lyrics}));
}

TEST_F(SongTextTest, EveryLyricTrackCarriesTheHeaderAndTheLongestIsShown)
{
    AddEmptyTrack().Append(Text(3, "歌"), 0);
    CMidiTrack& shorter = AddEmptyTrack();
    CMidiTrack& longer = AddEmptyTrack();
    CMidiTrack& equal = AddEmptyTrack();
    for (int syllable = 0; syllable < 120; ++syllable) {
        longer.Append(Text(5, "啊"), 10);
        equal.Append(Text(5, "啊"), 10);
        if (syllable < 80)
            shorter.Append(Text(5, "啊"), 10);
    }
    Extract();
    EXPECT_EQ(shorter.Syllables().size(), 20u + 80u);
    EXPECT_EQ(longer.Syllables().size(), 20u + 120u);
    EXPECT_EQ(view.calls.back(), &longer);
    // Without a Set Tempo event every time is 0.
    EXPECT_EQ(longer.Syllables().back().time, 0.0f);
}

TEST_F(SongTextTest, WithoutLyricsTrackZeroShowsTheTitle)
{
    AddEmptyTrack().Append(Text(3, "歌名"), 0);
    AddEmptyTrack().Append(NoteOn(0, 60, 64), 0);
    Extract();
    EXPECT_EQ(view.calls.back(), &song.Track(0));
    EXPECT_EQ(HeaderTexts(song.Track(0)), (std::vector<std::string> {"歌名", " "}));
    EXPECT_EQ(song.Track(0).Syllables().size(), 2u * kSyllablesPerLine);
}

TEST(SongText, TextsUseTheSongsOwnCodePage)
{
    CScriptedUserPrompts prompts;
    CManualTimerDriver driver;
    const CIconvCodePage big5("BIG5");
    CMidiSong song(prompts, big5, driver);
    CMidiTrack& track = song.AddTrack(std::make_unique<CMidiTrack>(song));
    track.SetName(u"茉莉花");
    const auto data = AsMetaMessage(track.Entry(0).message)->Data();
    EXPECT_EQ(std::string(data.begin(), data.end()), big5.FromWide(u"茉莉花"));
    song.TakeNames(track);
    EXPECT_EQ(song.Title(), u"茉莉花");
}

TEST(SongText, TheTitleTextsASongAddsItselfSurviveACodePageThatLacksThem)
{
    CScriptedUserPrompts prompts;
    CManualTimerDriver driver;
    const CIconvCodePage western("CP1252");
    CMidiSong song(prompts, western, driver);
    ASSERT_TRUE(song.Load(AsBytes(SmfHeader(1, 1, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40}) + kEnd))));
    EXPECT_EQ(song.Title(), kUntitled);
    EXPECT_EQ(song.InfoText(), std::u16string(kWelcomeLine) + u" ");
}

TEST(SongText, TheDetectedCodePageReadsEveryTextOfTheSong)
{
    // One track with notes and no conductor: the song adds its own title texts.
    const CIconvCodePage big5("CP950", "BIG5");
    const std::string title = big5.FromWide(u"茉莉花");
    const std::string file = SmfHeader(1, 1, 96)
        + SmfTrack(MetaEvent(0, 3, title) + MetaEvent(0, 1, std::string("Pub\0lic", 7))
            + MetaEvent(0, 5, big5.FromWide(u"好")) + Bytes({0x00, 0x90, 0x3C, 0x40}) + MetaEvent(0, 6, "marker")
            + MetaEvent(96, 5, big5.FromWide(u"一")) + Bytes({0x00, 0x80, 0x3C, 0x00}) + kEnd);
    for (const ICodePage* answer : {static_cast<const ICodePage*>(&big5), static_cast<const ICodePage*>(nullptr)}) {
        SongFixture fixture;
        const ICodePage& expected = answer ? big5 : fixture.gbk;
        const test::CScriptedEncodingDetector detector(answer);
        ASSERT_TRUE(fixture.song.Load(AsBytes(file), detector));
        // The shown texts of every track at once, each up to its first zero byte.
        EXPECT_EQ(detector.samples,
            (std::vector<std::string> {title + "\nPub\n" + big5.FromWide(u"好") + "\n" + big5.FromWide(u"一")}));
        EXPECT_EQ(&fixture.song.CodePage(), &expected);
        EXPECT_EQ(fixture.song.Title(), kUntitled);
        EXPECT_EQ(fixture.song.InfoText(), std::u16string(kWelcomeLine) + u" ");
        const CMidiTrack& lyrics = fixture.song.Track(1);
        EXPECT_EQ(
            AsMetaMessage(lyrics.Entry(0).message)->TrackNameText(fixture.song.CodePage()), expected.ToWide(title));
        const std::vector<LyricSyllable>& syllables = lyrics.Syllables();
        EXPECT_EQ(syllables[syllables.size() - 2].text, expected.ToWide(big5.FromWide(u"好")));
    }
}

TEST_F(SongTextTest, InfoTextLinesAreBounded)
{
    CMidiTrack& conductor = AddEmptyTrack();
    conductor.Append(Text(1, ""), 0);
    conductor.Append(Text(1, ""), 0);
    conductor.Append(Text(1, "x" + std::string(100000, '\n') + "y"), 0);
    Extract();
    // Title, 1,000 lines of the info text, the final space.
    EXPECT_EQ(song.Track(0).HeaderLines(), 1002);
    EXPECT_EQ(song.Track(0).Syllables()[1001 * kSyllablesPerLine].text, u" ");
    // Every lyric track carries the header: with 50 of them each takes 500 lines of the info text.
    for (int track = 0; track < 50; ++track)
        AddEmptyTrack().Append(Text(5, "啊"), 0);
    Extract();
    EXPECT_EQ(song.Track(50).HeaderLines(), 502);
}

} // namespace
} // namespace linlangok::test
