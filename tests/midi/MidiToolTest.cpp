#include "midi/MidiFileWriter.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace linlangok::test {
namespace {

const std::filesystem::path kDemoSong = std::filesystem::path(LINLANGOK_SOURCE_DIR) / "resources/demo/jasmine.mid";

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

struct MidiToolTest : ::testing::Test {
    CTemporaryFolder folder;

    // The tool's run with the legacy code page given, else the one of the tests' environment.
    ToolRun Run(const std::string& arguments, const std::string& codePage = {})
    {
        const auto out = folder.Path() / "stdout";
        const auto err = folder.Path() / "stderr";
        const std::string command = (codePage.empty() ? "" : "LINLANGOK_CODEPAGE=" + codePage + " ")
            + std::string(LINLANGOK_TOOL_PATH) + " " + arguments + " >" + out.string() + " 2>" + err.string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
    }

    std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

    // Two notes with a lyric each on channel `channel`, as one track's events.
    static std::string SungNotes(int channel, std::string_view first, std::string_view second)
    {
        return MetaEvent(0, 5, Gbk(first)) + Bytes({0x00, 0x90 | channel, 0x3C, 0x40}) + MetaEvent(96, 5, Gbk(second))
            + Bytes({0x00, 0x3C, 0x00, 0x00, 0x3E, 0x40, 0x60, 0x3E, 0x00});
    }
};

TEST_F(MidiToolTest, InfoAndLyricsDescribeTheSong)
{
    const auto zero = folder.WriteFile(
        "zero.mid", SmfHeader(0, 1, 96) + SmfTrack(MetaEvent(0, 3, "Zero") + SungNotes(0, "零", "一") + kEnd));
    const auto two = folder.WriteFile("two.mid",
        SmfHeader(2, 2, 96) + SmfTrack(Bytes({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) + kEnd)
            + SmfTrack(SungNotes(2, "戊", "己") + kEnd));
    const struct {
        std::string arguments;
        std::vector<const char*> expected;
    } cases[] = {
        {"info " + Quoted(kDemoSong),
            {"\"format\":1", "\"division\":480", "\"title\":\"茉莉花\"", "\"subtitle\":\"江苏民歌\"",
                "\"text1\":\"民间曲调\"", "\"notice\":\"公有领域\"", "\"lyric_track\":1",
                "\"tempo_map\":[{\"tick\":0,\"tempo\":909091,\"start\":0}]",
                "{\"name\":\"茉莉花\",\"entries\":10,\"channel\":-1,\"syllables\":0,\"header_lines\":0,\"conductor\":"
                "true}",
                "\"name\":\"旋律\"", "\"channel\":9"}},
        // The header, then one syllable per note: after two bars of introduction at 66 beats a
        // minute the first syllable is at tick 1920.
        {"lyrics " + Quoted(kDemoSong),
            {"{\"encoding\":\"GBK\",\"syllables\":[{\"tick\":0,\"time\":0,\"text\":\"茉莉花\"}",
                "{\"tick\":1920,\"time\":3.63636", "\"text\":\"好\"", "}]}\n"}},
        // A .kar song's syllables flag where their line and paragraph marks stood.
        {"lyrics " + Quoted(std::filesystem::path(LINLANGOK_CORPUS_DIR) / "midi/valid/karaoke-text-events.kar"),
            {"\"text\":\"MIDI KARAOKE FILE: 版本\"}", "{\"tick\":960,\"time\":1,\"text\":\"好\",\"paragraph\":true}",
                "{\"tick\":1200,\"time\":1.25,\"text\":\"一\"}",
                "{\"tick\":2400,\"time\":2.5,\"text\":\"茉\",\"line_break\":true}"}},
        // Format 0: the lyrics stay with the meta events in track 0; channel 0 gets its own track.
        {"info " + Quoted(zero),
            {"\"format\":1", "\"title\":\"Zero\"", "\"lyric_track\":0",
                "{\"name\":\"F0Track1\",\"entries\":6,\"channel\":0"}},
        {"lyrics " + Quoted(zero), {"\"text\":\"一\""}},
        {"info " + Quoted(two), {"\"format\":2", "\"length_seconds\":2,"}},
        {"lyrics " + Quoted(two), {"{\"tick\":96,\"time\":1,\"text\":\"己\"}"}},
    };
    for (const auto& test : cases) {
        const ToolRun run = Run(test.arguments);
        EXPECT_EQ(run.exitCode, 0) << test.arguments << ": " << run.err;
        EXPECT_EQ(run.err, "") << test.arguments;
        for (const char* text : test.expected)
            EXPECT_NE(run.out.find(text), std::string::npos) << text << " in " << run.out;
    }
}

TEST_F(MidiToolTest, TheSongTextCommandsTellTheEncodingAndTakeAnOverride)
{
    const std::string lrc = Quoted(LINLANGOK_CORPUS_DIR "/lrc/valid-gbk.lrc");
    const struct {
        const char* codePage;
        std::string arguments;
        const char* expected;
    } cases[] = {
        {"GBK", "info " + Quoted(kDemoSong),
            "{\"encoding\":\"GBK\",\"format\":1,\"division\":480,\"title\":\"茉莉花\""},
        // Under a Western locale the Chinese song is detected.
        {"CP1252", "info " + Quoted(kDemoSong),
            "{\"encoding\":\"GB18030\",\"format\":1,\"division\":480,\"title\":\"茉莉花\""},
        {"CP1252", "lrc " + lrc,
            "{\"encoding\":\"GB18030\",\"offset_ms\":0,\"lines\":[{\"time\":1,\"time_ms\":1000,\"text\":"
            "\"好一朵茉莉花\"}"},
        // The override wins, named in any case.
        {"GBK", "lyrics --encoding big5 " + Quoted(kDemoSong),
            "{\"encoding\":\"BIG5\",\"syllables\":[{\"tick\":0,\"time\":0,\"text\":\"嗩獲豪\"}"},
        {"GBK", "lrc " + lrc + " --encoding UTF-8",
            "{\"encoding\":\"UTF-8\",\"offset_ms\":0,\"lines\":[{\"time\":1,\"time_ms\":1000,\"text\":\"\uFFFD"},
    };
    for (const auto& test : cases) {
        const ToolRun run = Run(test.arguments, test.codePage);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, std::string_view(test.expected).size()), test.expected);
    }
    const ToolRun unknown = Run("info --encoding KOI8-R " + Quoted(kDemoSong), "GBK");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "unknown encoding: KOI8-R (known: GBK UTF-8 GB18030 BIG5 CP932 CP949)\n");
    EXPECT_EQ(Run("lrc " + lrc + " --encoding").exitCode, 2);
}

TEST_F(MidiToolTest, TransposeWritesACopyAndFailuresGoToStandardErrorWithTheirExitCode)
{
    const auto up = folder.Path() / "up.mid";
    EXPECT_EQ(Run("transpose " + Quoted(kDemoSong) + " " + Quoted(up) + " +2").exitCode, 0);
    SongFixture expected;
    ASSERT_TRUE(expected.song.Load(kDemoSong));
    for (size_t index = 0; index < expected.song.TrackCount(); ++index)
        expected.song.Track(index).Transpose(2);
    ASSERT_TRUE(CMidiFileWriter(expected.song, expected.prompts).Write(folder.Path() / "expected.mid", u""));
    EXPECT_EQ(ReadWholeFile(up), ReadWholeFile(folder.Path() / "expected.mid"));

    const ToolRun missing = Run("info " + Quoted(folder.Path() / "missing.mid"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "错误: 不能打开所选文件,或文件不存在!\n");

    const auto text = folder.WriteFile("text.mid", "not a MIDI file at all");
    EXPECT_EQ(Run("lyrics " + Quoted(text)).err, "警告: 文件类型不正确!\n");
    EXPECT_EQ(Run("transpose " + Quoted(kDemoSong) + " " + Quoted(folder.Path() / "no/such/out.mid") + " 1").err,
        "琳朗卡拉OK 1.2: 写Mid文件时出错!\n");
    EXPECT_EQ(Run("transpose " + Quoted(kDemoSong) + " x.mid 128").exitCode, 2);
    EXPECT_EQ(Run("transpose " + Quoted(kDemoSong) + " x.mid 1x").exitCode, 2);
    EXPECT_EQ(Run("info").exitCode, 2);
}

} // namespace
} // namespace linlangok::test
