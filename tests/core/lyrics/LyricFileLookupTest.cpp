#include "core/lyrics/LyricFileLookup.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

constexpr ESongKind kAudio = ESongKind::Audio;

// Records what the lookup asks of the lyrics show window.
class CRecordingLyricsShow final : public ILyricsShow {
public:
    void LoadLrcLyrics(const std::filesystem::path& path) override { m_calls.push_back("load " + path.string()); }
    void ShowIdleLyrics() override { m_calls.push_back("idle"); }
    int MidiLyricLineCount() const override { return m_midiLines; }

    int m_midiLines = 0;
    std::vector<std::string> m_calls;
};

class LyricFileLookup : public ::testing::Test {
protected:
    std::filesystem::path Find(const std::filesystem::path& song)
    {
        return FindLyricFile(song, m_lyrics.Path(), m_names, m_prompts);
    }

    const CIconvCodePage m_gbk {"GBK"};
    const CPathDisplay m_names {m_gbk, NoEncodingDetection()};
    test::CTemporaryFolder m_lyrics;
    test::CScriptedUserPrompts m_prompts;
    CRecordingLyricsShow m_show;
};

TEST_F(LyricFileLookup, TheSongsBaseNameMustMatchCaseForCaseAndADotlessNameWantsDotLrc)
{
    m_lyrics.WriteFile("Other.lrc", "");
    const auto lyric = m_lyrics.WriteFile("My Song.lrc", "");
    EXPECT_EQ(Find("/k/My Song.mp3"), lyric);
    EXPECT_EQ(Find("/k/my song.mp3"), std::filesystem::path());
    EXPECT_EQ(Find("/k/My Song.tar.mp3"), std::filesystem::path());
    EXPECT_EQ(Find("My Song.wav"), lyric);
    EXPECT_TRUE(m_prompts.m_messages.empty());

    // A path without a dot in its name wants ".lrc".
    m_lyrics.WriteFile("song.lrc", "");
    EXPECT_EQ(Find("/k/song"), std::filesystem::path());
    EXPECT_EQ(Find("/a.b/song"), std::filesystem::path());
    const auto bare = m_lyrics.WriteFile(".lrc", "");
    EXPECT_EQ(Find("/a.b/song"), bare);
}

TEST_F(LyricFileLookup, NamesInGbkAndInUtf8FindEachOtherByTheTextTheyShowButTheSameBytesComeFirst)
{
    const auto utf8 = m_lyrics.WriteFile("中文.lrc", "");
    EXPECT_EQ(Find("/k/\xD6\xD0\xCE\xC4.mid"), utf8);
    const auto gbk = m_lyrics.WriteFile("\xD6\xD0\xCE\xC4.lrc", "");
    EXPECT_EQ(Find("/k/\xD6\xD0\xCE\xC4.mid"), gbk);
}

TEST_F(LyricFileLookup, FoldersAreSkippedAndAMissingFolderFindsNothing)
{
    std::filesystem::create_directory(m_lyrics.Path() / "song.lrc");
    EXPECT_EQ(Find("/k/song.mid"), std::filesystem::path());
    EXPECT_EQ(FindLyricFile("/k/song.mid", m_lyrics.Path() / "missing", m_names, m_prompts), std::filesystem::path());
}

// An audio song without a file of its own keeps the chosen file, or the one found before, else is
// idle.
TEST_F(LyricFileLookup, AnAudioSongPrefersTheLyricFolderAndKeepsWhatItFoundOrWasChosen)
{
    std::filesystem::path lyricPath = "/mine/chosen.lrc";
    EXPECT_FALSE(LoadSongLyrics("/k/other.mp3", kAudio, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    const auto found = m_lyrics.WriteFile("song.lrc", "");
    EXPECT_FALSE(LoadSongLyrics("/k/song.mp3", kAudio, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    EXPECT_EQ(lyricPath, found);
    EXPECT_FALSE(LoadSongLyrics("/k/other.wav", kAudio, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    lyricPath.clear();
    EXPECT_TRUE(LoadSongLyrics("/k/other.mp3", kAudio, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    EXPECT_EQ(m_show.m_calls,
        (std::vector<std::string> {
            "load /mine/chosen.lrc", "load " + found.string(), "load " + found.string(), "idle"}));
}

TEST_F(LyricFileLookup, AMidiSongShowsItsOwnSyllablesWhenTheyFillThreeLines)
{
    m_lyrics.WriteFile("song.lrc", "");
    std::filesystem::path lyricPath = "/mine/chosen.lrc";
    m_show.m_midiLines = 3;
    EXPECT_FALSE(
        LoadSongLyrics("/k/song.mid", ESongKind::Midi, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    m_show.m_midiLines = 2;
    EXPECT_TRUE(LoadSongLyrics("/k/song.mid", ESongKind::Midi, lyricPath, m_show, m_lyrics.Path(), m_names, m_prompts));
    EXPECT_EQ(m_show.m_calls, (std::vector<std::string> {"load /k/song.mid", "load /k/song.mid", "idle"}));
    EXPECT_EQ(lyricPath, "/mine/chosen.lrc");
}

} // namespace
} // namespace linlangok
