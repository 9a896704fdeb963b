#include "common/Text.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/ScriptedEncodingDetector.h"

#include <gtest/gtest.h>

namespace linlangok::test {
namespace {

struct SongTextTest : SongFixture, ::testing::Test {
    SongTextTest() { song.SetDivision(480); }

    CMetaMessage* Text(int type, std::string_view utf8) { return Meta(type, Gbk(utf8)); }

    // Title texts from track 0, tempo map, lyrics and the lyric track, as a load does them.
    void Extract()
    {
        song.ResetText();
        song.TakeNotice(song.Track(0));
        song.TakeNames(song.Track(0));
        song.TakeTexts(song.Track(0));
        song.NormalizeTempo();
        song.BuildTempoMap();
        song.BuildLyrics();
        song.ChooseLyricTrack();
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
    EXPECT_EQ(song.Composer(), u"民间曲调");
    EXPECT_EQ(song.Lyricist(), u"民间歌词");
    EXPECT_EQ(song.InfoText(), u"第一行\n\n第三行 尾 ");
    EXPECT_EQ(lyrics.HeaderLines(), 9);
    EXPECT_EQ(HeaderTexts(lyrics),
        (std::vector<std::string> {
            "茉莉花", "江苏民歌", "民间曲调: 作曲", "民间歌词: 作词", "公有领域", "第一行", "", "第三行 尾 ", " "}));
    EXPECT_EQ(LyricTexts(lyrics), (std::vector<std::string> {"好", "/", "\\", ""}));
    const LyricSyllable& first = lyrics.Syllables()[lyrics.HeaderLines() * kSyllablesPerLine];
    EXPECT_EQ(first.tick, 960);
    EXPECT_FLOAT_EQ(first.time, 1.0f);
    EXPECT_EQ(song.LyricTrack(), &lyrics);
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
    EXPECT_EQ(song.LyricTrack(), &longer);
    // Without a Set Tempo event every time is 0.
    EXPECT_EQ(longer.Syllables().back().time, 0.0f);
}

TEST_F(SongTextTest, WithoutLyricsTrackZeroShowsTheTitle)
{
    AddEmptyTrack().Append(Text(3, "歌名"), 0);
    AddEmptyTrack().Append(NoteOn(0, 60, 64), 0);
    Extract();
    EXPECT_EQ(song.LyricTrack(), &song.Track(0));
    EXPECT_EQ(HeaderTexts(song.Track(0)), (std::vector<std::string> {"歌名", " "}));
    EXPECT_EQ(song.Track(0).Syllables().size(), 2u * kSyllablesPerLine);
}

// A .kar song's events: the title and tag lines, "\\" and "/" syllables in text events at
// division 480 and 120 beats a minute, and a note on channel 0.
struct KarEvents {
    std::string conductor; // with the Set Tempo
    std::string words;
    std::string notes = Bytes({0x00, 0x90, 0x3C, 0x40, 0x83, 0x60, 0x3C, 0x00});

    explicit KarEvents(std::string_view lyricEvents = {})
        : conductor(Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + MetaEvent(0, 3, Gbk("茉莉花"))
            + MetaEvent(0, 1, "@KMIDI KARAOKE FILE") + MetaEvent(0, 1, "@V0100") + MetaEvent(0, 1, Gbk("@I江苏民歌")))
        , words(MetaEvent(0, 1, "@LCHIN") + MetaEvent(0, 1, Gbk("@T茉莉花")) + MetaEvent(0, 1, Gbk("@T 民歌\r\n"))
              + std::string(lyricEvents) + MetaEvent(960, 1, Gbk("\\好")) + MetaEvent(240, 1, Gbk("一"))
              + MetaEvent(240, 1, Gbk("朵")) + MetaEvent(240, 1, Gbk("/茉")) + MetaEvent(240, 1, Gbk("莉花\r"))
              + MetaEvent(240, 1, "/") + MetaEvent(240, 1, Gbk("\\满")) + MetaEvent(0, 1, ""))
    {
    }
};

TEST_F(SongTextTest, KarTextEventsAreTheSyllablesWithTheirBreaksAndTheTagLinesGoToTheHeader)
{
    const KarEvents kar;
    const std::string formatOne = SmfHeader(1, 3, 480) + SmfTrack(kar.conductor + kEnd) + SmfTrack(kar.words + kEnd)
        + SmfTrack(kar.notes + kEnd);
    // Format 0: everything in the track that becomes track 0, whose texts are then no title texts.
    const std::string formatZero = SmfHeader(0, 1, 480) + SmfTrack(kar.conductor + kar.words + kar.notes + kEnd);
    for (const auto& [file, lyricTrack] : {std::pair {formatOne, 1}, std::pair {formatZero, 0}}) {
        ASSERT_TRUE(song.Load(AsBytes(file)));
        const CMidiTrack& track = song.Track(lyricTrack);
        EXPECT_EQ(song.LyricTrack(), &track);
        EXPECT_EQ(song.Composer(), u"");
        EXPECT_EQ(song.InfoText(), u"");
        EXPECT_EQ(HeaderTexts(track),
            (std::vector<std::string> {
                "茉莉花", "茉莉花", "民歌", "江苏民歌", "CHIN: 语言", "MIDI KARAOKE FILE: 版本", "0100: 版本", " "}));
        EXPECT_EQ(LyricTexts(track), (std::vector<std::string> {"好", "一", "朵", "茉", "莉花", "", "满"}));
        std::vector<ELyricBreak> breaks;
        for (size_t index = track.HeaderLines() * kSyllablesPerLine; index < track.Syllables().size(); ++index)
            breaks.push_back(track.Syllables()[index].breakBefore);
        using enum ELyricBreak;
        EXPECT_EQ(breaks, (std::vector<ELyricBreak> {Paragraph, None, None, Line, None, Line, Paragraph}));
        EXPECT_FLOAT_EQ(track.Syllables()[track.HeaderLines() * kSyllablesPerLine + 1].time, 1.25f);
    }
}

TEST_F(SongTextTest, WithLyricEventsTheTextEventsOfAKarSongAreTitleTexts)
{
    const KarEvents kar(MetaEvent(0, 5, Gbk("茉")) + MetaEvent(480, 5, "/"));
    ASSERT_TRUE(song.Load(AsBytes(SmfHeader(1, 3, 480) + SmfTrack(kar.conductor + kEnd) + SmfTrack(kar.words + kEnd)
        + SmfTrack(kar.notes + kEnd))));
    EXPECT_EQ(song.Composer(), u"@KMIDI KARAOKE FILE");
    EXPECT_EQ(song.Lyricist(), u"@V0100");
    EXPECT_EQ(HeaderTexts(song.Track(1)),
        (std::vector<std::string> {"茉莉花", "@KMIDI KARAOKE FILE: 作曲", "@V0100: 作词", "@I江苏民歌 ", " "}));
    EXPECT_EQ(LyricTexts(song.Track(1)), (std::vector<std::string> {"茉", "/"}));
    EXPECT_EQ(song.Track(1).Syllables().back().breakBefore, ELyricBreak::None);
    EXPECT_EQ(song.LyricTrack(), &song.Track(1));
}

TEST(SongText, TextsUseTheSongsOwnCodePage)
{
    const CIconvCodePage big5("BIG5");
    SongFixture fixture(big5);
    CMidiTrack& track = fixture.AddEmptyTrack();
    track.SetName(u"茉莉花");
    const auto data = AsMetaMessage(track.Entry(0).message)->Data();
    EXPECT_EQ(std::string(data.begin(), data.end()), big5.FromWide(u"茉莉花"));
    fixture.song.TakeNames(track);
    EXPECT_EQ(fixture.song.Title(), u"茉莉花");
}

TEST(SongText, TheTitleTextsASongAddsItselfSurviveACodePageThatLacksThem)
{
    const CIconvCodePage western("CP1252");
    SongFixture fixture(western);
    ASSERT_TRUE(fixture.song.Load(AsBytes(SmfHeader(1, 1, 96) + SmfTrack(Bytes({0x00, 0x90, 0x3C, 0x40}) + kEnd))));
    EXPECT_EQ(fixture.song.Title(), kUntitled);
    EXPECT_EQ(fixture.song.InfoText(), std::u16string(kWelcomeLine) + u" ");
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

TEST(SongText, TheMelodyIsTheChannelOfTheNotesTheSyllablesMeet)
{
    // Syllables at beats 0..3 (division 480); each track listed as (channel, first tick, step) note runs.
    struct Notes {
        int channel;
        std::int32_t first, step;
    };
    struct Track {
        bool sings;
        std::vector<Notes> notes;
    };
    struct Row {
        const char* what;
        std::vector<Track> tracks;
        std::optional<std::uint8_t> melody;
    };
    const Row rows[] = {
        {"the lyric track's one channel, though another track doubles it on a lower one",
            {{false, {{1, 0, 480}}}, {true, {{3, 0, 480}}}}, 3},
        {"format 0: the channel that meets the syllables (20 ticks late), not the busiest, never the drums",
            {{true, {{2, 20, 480}, {1, 240, 120}, {9, 0, 480}}}}, 2},
        {"lyrics in a track of their own", {{false, {{0, 240, 480}}}, {true, {}}, {false, {{4, 0, 480}}}}, 4},
        {"no note meets a syllable", {{true, {}}, {false, {{0, 240, 480}, {9, 0, 480}}}}, std::nullopt},
        {"no lyrics", {{false, {{0, 0, 480}}}}, std::nullopt},
    };
    for (const Row& row : rows) {
        SongFixture fixture;
        fixture.song.SetDivision(480);
        for (const Track& track : row.tracks) {
            CMidiTrack& added = fixture.AddEmptyTrack();
            for (std::int32_t beat = 0; track.sings && beat < 4; ++beat)
                added.InsertAtTick(beat * 480, fixture.Meta(kMetaLyric, "a"), true);
            for (const Notes& notes : track.notes) {
                for (std::int32_t tick = notes.first; tick < 4 * 480; tick += notes.step)
                    added.InsertAtTick(tick, fixture.NoteOn(notes.channel, 60, 100), true);
            }
        }
        fixture.song.BuildLyrics();
        fixture.song.ChooseLyricTrack();
        EXPECT_EQ(fixture.song.MelodyChannel(), row.melody) << row.what;
    }
}

} // namespace
} // namespace linlangok::test
