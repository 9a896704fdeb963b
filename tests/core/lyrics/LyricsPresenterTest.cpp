#include "core/lyrics/LyricsPresenter.h"
#include "midi/MidiSong.h"
#include "midi/MidiTrack.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

struct CFakeSongSource final : ILyricsSongSource {
    std::optional<LyricsSongState> Read() const override { return song; }
    const ITextEncodingDetector& TextEncoding() const override { return NoEncodingDetection(); }

    std::optional<LyricsSongState> song;
};

// The user's nudge moves the LRC lines only; a MIDI song's syllables keep their own time. A MIDI
// song's own title names it, else the file's name does.
TEST(LyricsPresenter, TheSongKindChoosesTheViewTheNudgeAndTheTitle)
{
    test::CTemporaryFolder folder;
    const test::CLatin1CodePage codePage;
    test::CScriptedUserPrompts prompts;
    CMidiSong song {codePage};
    CMidiTrack track {song};
    CFakeSongSource source;
    CLyricsPresenter presenter {codePage, source};
    presenter.LoadLrcLyrics(folder.WriteFile("a.lrc", "[00:01]a\n[00:03]b\n"));
    track.Syllables() = {{0, 1.0f, u"x"}, {0, 3.0f, u"y"}};
    presenter.SetLyricTrack(&track);

    struct Case {
        ESongKind kind;
        std::int32_t offset;
        bool idle;
        std::u16string songTitle;
        StageLines lines;
        std::u16string title;
    };
    const Case cases[] = {
        {ESongKind::Audio, 0, false, u"Jasmine", {u"", u"a", u"b", 1.0}, u"song"},
        {ESongKind::Audio, 100, false, u"Jasmine", {u"", u"b", u"", 1.0}, u"song"},
        {ESongKind::Midi, 100, false, u"Jasmine", {u"x", u"y", u"", 1.0}, u"Jasmine"},
        {ESongKind::Midi, 0, false, std::u16string(kUntitled), {u"x", u"y", u"", 1.0}, u"song"},
        {ESongKind::Midi, 0, true, u"Jasmine", {u"", u"a", u"b", 1.0}, u"song"},
    };
    for (const Case& test : cases) {
        source.song
            = LyricsSongState {2.9, false, test.idle, test.kind, false, test.offset, test.songTitle, {}, u"song"};
        ASSERT_TRUE(presenter.Tick());
        const StageFrame frame = presenter.Stage();
        EXPECT_EQ(frame.lines, test.lines) << static_cast<int>(test.kind) << test.offset << test.idle;
        EXPECT_EQ(frame.title, test.title);
        EXPECT_EQ(presenter.Frame(300).current.has_value(), test.lines.sung == u"x"); // swept karaoke-style
    }
    // While a song loads the tick reads nothing.
    source.song.reset();
    EXPECT_FALSE(presenter.Tick());
}

} // namespace
} // namespace linlangok
