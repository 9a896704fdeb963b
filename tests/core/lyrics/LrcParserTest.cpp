#include "core/lyrics/LrcParser.h"
#include "common/Text.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/ScriptedEncodingDetector.h"

#include <gtest/gtest.h>

#include <sstream>

namespace linlangok {

void PrintTo(const LyricLine& line, std::ostream* out)
{
    *out << line.time << "/" << line.timeMs << " \"" << Utf16ToUtf8(line.text) << "\"";
    for (const LrcWord& word : line.words)
        *out << " " << word.timeMs << ":\"" << Utf16ToUtf8(word.text) << "\"";
}

namespace {

using namespace std::string_view_literals;

const CIconvCodePage gbk("GBK");

struct TimeText {
    std::int32_t time;
    std::u16string text;
    bool operator==(const TimeText&) const = default;
};

std::vector<TimeText> TimesAndTexts(const std::vector<LyricLine>& lines)
{
    std::vector<TimeText> result;
    for (const auto& line : lines)
        result.push_back({line.time, line.text});
    return result;
}

std::vector<TimeText> Parse(std::string_view bytes)
{
    return TimesAndTexts(ParseLrcText(bytes, gbk, 26).lines);
}

TEST(LrcParser, TimeTagsGiveWholeSeconds)
{
    // Past 32 bits or nine minute digits a tag is no time.
    const std::pair<std::u16string_view, std::int32_t> cases[]
        = {{u"00:12.34", 12}, {u"1:5", 65}, {u"3:7x", 187}, {u":07", 7}, {u" 2: 3", 123}, {u"ti:Title", 0},
            {u"-1:00", -60}, {u"00:", -1}, {u"00", -1}, {u"", -1}, {u"35791394:07", 2147483647}, {u"35791394:08", -1},
            {u"999999999:00", -1}, {u"0000000001:00", -1}, {u"-99999999:00", -1}};
    for (const auto& [tag, seconds] : cases)
        EXPECT_EQ(ParseTimeTag(tag), seconds) << std::string(tag.begin(), tag.end());
}

TEST(LrcParser, EveryTimeTagOfALineGivesAnEntryWithTheTextAfterTheLastBracket)
{
    std::vector<LyricLine> lines;
    ParseLrcLine(u"[00:10.50][01:02.00]Hello", lines);
    ParseLrcLine(u"[00:20]  spaced text  ", lines);
    ParseLrcLine(u"[00:30]a[b", lines); // "[" in the text has no "]" after it
    ParseLrcLine(u"[ar:Someone][00:40]x", lines); // a header tag reads as 0 s
    ParseLrcLine(u"]x[00:50]y", lines); // first "]" at the start: nothing
    ParseLrcLine(u"no tags", lines);
    ParseLrcLine(u"[00]x[00:]y", lines);
    EXPECT_EQ(TimesAndTexts(lines),
        (std::vector<TimeText> {
            {10, u"Hello"}, {62, u"Hello"}, {20, u"  spaced text  "}, {30, u"a[b"}, {0, u"x"}, {40, u"x"}}));
}

TEST(LrcParser, LinesAreSortedStablyAndPlacedOneLineHeightApart)
{
    const auto lines = ParseLrcText("[01:00]late\n[00:05]A\n[00:10.50][00:01]both\n[00:05]B\n", gbk, 26).lines;
    EXPECT_EQ(TimesAndTexts(lines),
        (std::vector<TimeText> {{1, u"both"}, {5, u"A"}, {5, u"B"}, {10, u"both"}, {60, u"late"}}));
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].y, static_cast<int>(i) * 26);
}

// Header and empty timed lines are skipped. CR LF is one line end, and so is LF alone; any other
// CR stays in the text, also at the end of the file; the last line needs no line end; a line ends
// at its first zero byte. Text is GBK or UTF-8, with or without its mark; one invalid UTF-8
// sequence anywhere makes the whole file legacy text; a legacy line may end in a double-byte
// character whose second byte is "]" (0xB0 0x5D).
TEST(LrcParser, SkippedLinesLineEndsAndEncodings)
{
    const std::vector<TimeText> song {{1, u"茉莉花"}};
    const std::pair<std::string_view, std::vector<TimeText>> cases[] = {
        {"[ti:Song]\r\n[00:30.00]\r\n[00:31]\r\n\r\n[00:32]sung\r\n[00:33]x]\n", {{32, u"sung"}}},
        {"[00:01]a\r\n[00:02]b\rc\n[00:03]d\0ignored]\n\0[00:04]gone\n[00:05]e\r\r\n[00:06]f\r"sv,
            {{1, u"a"}, {2, u"b\rc"}, {3, u"d"}, {5, u"e\r"}, {6, u"f\r"}}},
        {"[00:01]\xDC\xD4\xC0\xF2\xBB\xA8\n", song},
        {"[00:01]\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\n", song},
        {"\xEF\xBB\xBF[00:01]\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\n", song},
        {"[00:01]\xE8\x8C\x89\n[00:02]\xDC\xD4\n", {{1, gbk.ToWide("\xE8\x8C\x89")}, {2, u"茉"}}},
        {"[00:07]\xB0\x5D\n", {{7, gbk.ToWide("\xB0\x5D")}}},
    };
    for (const auto& [bytes, lines] : cases)
        EXPECT_EQ(Parse(bytes), lines) << bytes;
}

TEST(LrcParser, ALineOverNineHundredNinetyNineBytesStopsTheReading)
{
    const std::string fits = "[00:01]" + std::string(999 - 7, 'x');
    const std::string tooLong = "[00:02]" + std::string(1200 - 7, 'y');
    EXPECT_EQ(ParseLrcText(fits + "\r\n[00:03]next\n", gbk, 26).lines.size(), 2u);
    EXPECT_EQ(Parse("[00:00]first\n" + tooLong + "\n[00:03]after\n"), (std::vector<TimeText> {{0, u"first"}}));
    EXPECT_EQ(Parse("[00:00]first\n" + fits + "z"), (std::vector<TimeText> {{0, u"first"}}));
}

TEST(LrcParser, WordTimesExactTimesAndTheOffsetTag)
{
    struct Case {
        std::string_view lrc;
        std::int64_t offsetMs;
        std::vector<LyricLine> lines; // y left 0
    };
    const Case cases[] = {
        // Exact times beside the whole seconds; a plain line's text stays as it is, "<" and all.
        {"[00:10.5]a\n[1:05.123]b<c>\n[00:07]c\n[00:08.5x]d\n", 0,
            {{7, 0, u"c", 7000, {}}, {8, 0, u"d", 8500, {}}, {10, 0, u"a", 10500, {}}, {65, 0, u"b<c>", 65123, {}}}},
        // A positive offset shows the lyrics earlier, never before 0; words are swept by their own
        // times, the text before the first word tag starts with its line, a tag that ends the line
        // ends its last word, a malformed word tag is text, and a repeated line takes its words along.
        {"[ti:x]\n[offset:+500]\n[00:12.00]<00:12.00>茉<00:12.40>莉<00:12.90>花<00:13.50>\n"
         "[00:20.25][01:20.25]前<00:20.50>后\n[00:40]<00:41.00>x<1:2x>y<00:42\n[00:30]a<0x:31>b\n[00:00.20]first\n",
            500,
            {{0, 0, u"first", 0, {}},
                {11, 0, u"茉莉花", 11500, {{11500, u"茉"}, {11900, u"莉"}, {12400, u"花"}, {13000, u""}}},
                {19, 0, u"前后", 19750, {{19750, u"前"}, {20000, u"后"}}}, {29, 0, u"a<0x:31>b", 29500, {}},
                {39, 0, u"x<1:2x>y<00:42", 39500, {{40500, u"x<1:2x>y<00:42"}}},
                {79, 0, u"前后", 79750, {{79750, u"前"}, {80000, u"后"}}}}},
        // "offset" in any case; the last tag wins; a negative one shows the lyrics later.
        {"[OffSet:300]\n[offset:-1000]\n[00:01]a\n", -1000, {{2, 0, u"a", 2000, {}}}},
        // An offset is at most 366 days.
        {"[offset:-99999999999999999999999]\n[00:01]a\n", -31622400000, {{31622401, 0, u"a", 31622401000, {}}}},
    };
    for (const Case& test : cases) {
        LrcLyrics lyrics = ParseLrcText(test.lrc, gbk, 26);
        for (LyricLine& line : lyrics.lines)
            line.y = 0;
        EXPECT_EQ(lyrics.offsetMs, test.offsetMs) << test.lrc;
        EXPECT_EQ(lyrics.lines, test.lines) << test.lrc;
    }
}

TEST(LrcParser, TheDetectorDecidesBetweenAByteOrderMarkAndTheUtf8Rule)
{
    const CIconvCodePage big5("CP950", "BIG5");
    const std::string big5Lines = "[ti:" + big5.FromWide(u"茉莉花") + "]\n[00:01]" + big5.FromWide(u"好一朵") + "\n";
    const std::string utf8Line = "[00:01]\xE5\xA5\xBD\xE4\xB8\x80\xE6\x9C\xB5\n"; // 好一朵
    const struct {
        std::string bytes;
        const ICodePage* answer;
        std::u16string text;
        const char* encoding;
        std::vector<std::string> samples;
    } cases[] = {
        // Every line in one sample, line feeds between them, the header tags too.
        {big5Lines, &big5, u"好一朵", "BIG5", {big5.FromWide(u"[ti:茉莉花]\n[00:01]好一朵")}},
        {utf8Line, &big5, big5.ToWide("\xE5\xA5\xBD\xE4\xB8\x80\xE6\x9C\xB5"), "BIG5", {utf8Line.substr(0, 16)}},
        // Unsure: valid UTF-8 is UTF-8, anything else legacy text.
        {utf8Line, nullptr, u"好一朵", "UTF-8", {utf8Line.substr(0, 16)}},
        {big5Lines, nullptr, gbk.ToWide(big5.FromWide(u"好一朵")), "GBK",
            {big5.FromWide(u"[ti:茉莉花]\n[00:01]好一朵")}},
        // A byte-order mark decides before any detection.
        {"\xEF\xBB\xBF" + utf8Line, &big5, u"好一朵", "UTF-8", {}},
    };
    for (const auto& test : cases) {
        const test::CScriptedEncodingDetector detector(test.answer);
        EXPECT_EQ(
            TimesAndTexts(ParseLrcText(test.bytes, gbk, 26, detector).lines), (std::vector<TimeText> {{1, test.text}}))
            << test.bytes;
        detector.samples.clear();
        std::istringstream in(test.bytes);
        EXPECT_EQ(LrcEncodingName(in, gbk, detector), test.encoding) << test.bytes;
        EXPECT_EQ(detector.samples, test.samples) << test.bytes;
    }
}

TEST(LrcParser, Corpus)
{
    // Every encoding of the seed files reads; valid-* files give lines; a missing file gives none.
    EXPECT_FALSE(ReadLrcFile(LINLANGOK_CORPUS_DIR "/lrc/missing.lrc", gbk, 26));
    for (const auto& entry : std::filesystem::directory_iterator(LINLANGOK_CORPUS_DIR "/lrc")) {
        const auto lyrics = ReadLrcFile(entry.path(), gbk, 26);
        ASSERT_TRUE(lyrics) << entry.path();
        if (entry.path().filename().string().starts_with("valid-")) {
            EXPECT_FALSE(lyrics->lines.empty()) << entry.path();
        }
    }
    // UTF-16 in both byte orders.
    EXPECT_EQ(TimesAndTexts(ReadLrcFile(LINLANGOK_CORPUS_DIR "/lrc/valid-utf16le.lrc", gbk, 26)->lines),
        (std::vector<TimeText> {{2, u"two"}, {4, u"十六位"}}));
    EXPECT_EQ(TimesAndTexts(ReadLrcFile(LINLANGOK_CORPUS_DIR "/lrc/valid-utf16be.lrc", gbk, 26)->lines),
        (std::vector<TimeText> {{4, u"big end"}}));
}

} // namespace
} // namespace linlangok
