#include "core/lyrics/UltraStarSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

const CIconvCodePage cp1252("CP1252");
const CUchardetTextEncodings encodings(cp1252);

UltraStarSong Read(const std::string& bytes, std::string_view overrideName = {})
{
    const std::string name(overrideName);
    UltraStarRead read = ReadUltraStarSong(bytes, CEncodingOverride(encodings, name), cp1252);
    EXPECT_EQ(read.error, u"");
    return read.song.value_or(UltraStarSong {});
}

std::vector<double> Starts(const UltraStarSong& song)
{
    std::vector<double> starts;
    for (const UltraStarNote& note : song.notes)
        starts.push_back(note.start);
    return starts;
}

// A beat is 60 / (4 × BPM) s after GAP; "B" changes the tempo from its beat on; "E" ends the file.
TEST(UltraStarSong, LegacyDuetTimesKindsHeadersAndDetectedGbk)
{
    const CIconvCodePage gbk("GBK");
    const UltraStarSong song = Read(gbk.FromWide(u"#TITLE:好一朵美丽的茉莉花\n#artist:江苏民歌\n#MP3:a.mp3\n"
                                                 u"#AUDIO:b.ogg\n#Bpm:150\n#GAP:1000\n#YEAR:\n#DUETSINGERP1:甲\n"
                                                 u"#P2:乙\n#DUETSINGERP2:丙\nP1\n: 0 4 0 好\n* 4 4 2  一 \n- 10\n- 12\n"
                                                 u"F 12 2 0 朵\nB 16 75\nR 20 4 5 茉\nP2\nG 0 8 -3 莉\n: 6 2 0 花\n"
                                                 u"- 20\nE\n: 99 1 0 gone\n"));
    EXPECT_EQ(song.encoding, "GB18030");
    EXPECT_EQ(song.title, u"好一朵美丽的茉莉花");
    EXPECT_EQ(song.audio, u"b.ogg");
    EXPECT_EQ(song.year, u"");
    EXPECT_EQ(song.singers[0], u"甲");
    EXPECT_EQ(song.singers[1], u"乙");
    EXPECT_EQ(song.headers.size(), 9u);
    EXPECT_EQ(song.headers[1], (std::pair<std::string, std::u16string> {"ARTIST", u"江苏民歌"}));
    EXPECT_EQ(song.voices, 2);
    EXPECT_EQ(song.warnings, std::vector<std::u16string> {u"第 21 行的音符与前面的音符重叠"});
    const std::vector<double> starts {1.0, 1.4, 2.2, 3.4, 1.0, 1.6};
    ASSERT_EQ(song.notes.size(), starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i)
        EXPECT_NEAR(song.notes[i].start, starts[i], 1e-9) << i;
    EXPECT_NEAR(song.notes[3].end, 4.2, 1e-9);
    EXPECT_NEAR(song.LengthSeconds(), 4.2, 1e-9);
    EXPECT_EQ(song.notes[1], (UltraStarNote {ENoteKind::Golden, 0, 4, 4, 2, u" 一 ", song.notes[1].start, 1.8}));
    std::vector<ENoteKind> kinds;
    for (const UltraStarNote& note : song.notes)
        kinds.push_back(note.kind);
    EXPECT_EQ(kinds,
        (std::vector<ENoteKind> {ENoteKind::Normal, ENoteKind::Golden, ENoteKind::Freestyle, ENoteKind::Rap,
            ENoteKind::GoldenRap, ENoteKind::Normal}));
    ASSERT_EQ(song.lines.size(), 3u);
    EXPECT_EQ(song.lines[1].firstNote, 2u);
    EXPECT_EQ(song.lines[2].voice, 1);

    // Word-timed LRC lines of both voices by start time sweep syllable by syllable, golden notes
    // golden; the melody of a voice is monophonic.
    const std::vector<LyricLine> lyrics = UltraStarLyricLines(song, 26);
    ASSERT_EQ(lyrics.size(), 3u);
    EXPECT_EQ(lyrics[0], (LyricLine {1, 0, u"好 一 ", 1000, {{1000, u"好"}, {1400, u" 一 ", true}, {1800, u""}}}));
    EXPECT_EQ(lyrics[1], (LyricLine {1, 26, u"莉花", 1000, {{1000, u"莉", true}, {1600, u"花"}, {1800, u""}}, 1}));
    EXPECT_EQ(lyrics[2].y, 52);
    const ReferenceMelody melody = UltraStarMelody(song, 1);
    EXPECT_EQ(melody.source, EMelodySource::UltraStar);
    ASSERT_EQ(melody.notes.size(), 2u);
    EXPECT_EQ(melody.notes[0].pitch, 57);
    EXPECT_NEAR(melody.notes[0].end, 1.6, 1e-9);
    EXPECT_EQ(melody.lines.size(), 1u);
}

// Relative beats count from the offset of the voice's last line break; a decimal comma is legal.
TEST(UltraStarSong, RelativeDuetWithItsNamedEncoding)
{
    const CIconvCodePage big5("BIG5");
    const UltraStarSong song
        = Read(big5.FromWide(u"#TITLE:月亮代表我的心\n#BPM:187,5\n#RELATIVE:YES\n#ENCODING:big5\n"
                             u"P1\n: 0 2 0 a\n- 4 10\n: 2 2 0 b\nP2\n: 1 1 0 c\n- 2 5\n: 0 1 0 d\n"));
    EXPECT_EQ(song.encoding, "BIG5");
    EXPECT_EQ(song.title, u"月亮代表我的心");
    EXPECT_TRUE(song.relative);
    EXPECT_EQ(Starts(song), (std::vector<double> {0, 0.96, 0.08, 0.4}));
}

// A version 1 file is UTF-8 whatever #ENCODING says and never relative; the caller may override.
// "#BPM:10,5" gives 42 beats a minute, and the blanks around a syllable are its own.
TEST(UltraStarSong, VersionOneIsUtf8UnlessOverridden)
{
    const std::string bytes = "\xEF\xBB\xBF#VERSION:1.0.0\n#TITLE:Br\xC3\xBC"
                              "der\n#BPM:10,5\n#ENCODING:CP1252\n#RELATIVE:yes\n: 0 4 0 Hello \n: 8 4 0 World\n"
                              "- 12 50\n: 42 4 0  x\n";
    const UltraStarSong song = Read(bytes);
    EXPECT_EQ(song.version, "1.0.0");
    EXPECT_EQ(song.encoding, "UTF-8");
    EXPECT_EQ(song.title, u"Brüder");
    ASSERT_EQ(song.notes.size(), 3u);
    EXPECT_NEAR(song.notes[1].start, 8 * 60.0 / 42, 1e-3);
    EXPECT_NEAR(song.notes[2].start, 60, 1e-3);
    EXPECT_EQ(song.notes[0].text + song.notes[1].text + song.notes[2].text, u"Hello World x");
    EXPECT_EQ(song.warnings.size(), 2u);
    EXPECT_EQ(Read(bytes, "cp1252").title, u"BrÃ¼der");
}

TEST(UltraStarSong, BadInputGivesAnErrorOrAWarning)
{
    const std::pair<std::string, std::u16string_view> errors[] = {
        {std::string(kMaxUltraStarFileBytes + 1, '#'), u"歌曲文件过大"},
        {"Some notes for a shopping list\n: 0 1 0 a\n", u"不是 UltraStar 歌曲文件"},
        {"#TITLE:x\n: 0 1 0 a\n", u"歌曲没有有效的 BPM"},
        {"#BPM:0\n: 0 1 0 a\n", u"歌曲没有有效的 BPM"},
        {"#BPM:-5\n: 0 1 0 a\n", u"歌曲没有有效的 BPM"},
        {"#BPM:nan\n: 0 1 0 a\n", u"歌曲没有有效的 BPM"},
        {"#BPM:1e300\n: 0 1 0 a\n", u"歌曲没有有效的 BPM"},
        {"#BPM:100\n\n- 5\n", u"歌曲中没有音符"},
        {"#VERSION:2.0.0\n#BPM:100\n: 0 1 0 a\n", u"不支持的 UltraStar 版本：2.0.0"},
    };
    for (const auto& [bytes, error] : errors)
        EXPECT_EQ(ReadUltraStarSong(bytes, encodings, cp1252).error, error) << bytes.substr(0, 40);

    // A megabyte header counts as absent; beats out of range, bad tempos and unknown lines are
    // skipped; warnings stop at their cap.
    std::string bytes = "#TITLE:" + std::string(1 << 20, 'x') + "\r\n#BPM:100\r\n: 0 1 0 a\r\n: 99999999999 1 0 b\n"
        + ": -5 1 0 c\n: 0 1 999 d\nB 4 nan\n: 5 1 0 e\n";
    EXPECT_EQ(Read(bytes).warnings.size(), 5u);
    EXPECT_EQ(Read(bytes).title, u"");
    EXPECT_EQ(Starts(Read(bytes)), (std::vector<double> {0, 0.75}));
    for (int i = 0; i < 100; ++i)
        bytes += "?\n";
    EXPECT_EQ(Read(bytes).warnings.size(), kMaxUltraStarWarnings + 1);

    // A 100 MB file is refused from its size.
    const test::CTemporaryFolder folder;
    const std::filesystem::path path = folder.WriteFile("big.txt", "#BPM:100\n");
    std::filesystem::resize_file(path, 100 << 20);
    EXPECT_EQ(ReadUltraStarFile(path, encodings, cp1252).error, u"歌曲文件过大");
}

} // namespace
} // namespace linlangok
