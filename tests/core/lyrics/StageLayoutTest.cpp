#include "core/lyrics/StageLayout.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

TEST(StageLayout, TitleAtTheStartThenTheCountdownBeforeALongIntro)
{
    struct Case {
        std::optional<double> firstLine;
        double position;
        std::u16string title;
        bool showTitle;
        int dots;
    };
    const Case cases[] = {
        {12.0, 1.0, u"茉莉花", true, 0},
        {12.0, 8.9, u"茉莉花", false, 0}, // past the title's seconds, before the countdown
        {12.0, 9.0, u"茉莉花", false, 3}, // three seconds before the first line
        {12.0, 11.2, u"茉莉花", false, 1},
        {12.0, 12.0, u"茉莉花", false, 0}, // the line is sung
        {3.0, 0.0, u"茉莉花", false, 0}, // a short intro: the first line shows at once, no dots
        {12.0, 1.0, u"", false, 0}, // no title
        {std::nullopt, 4.0, u"茉莉花", true, 0}, // no lines
        {std::nullopt, 5.0, u"茉莉花", false, 0},
    };
    for (const Case& c : cases) {
        const StageFrame frame
            = ComposeStageFrame({u"", u"好一朵", u"茉莉花", c.firstLine}, c.position, c.title, u"民歌");
        EXPECT_EQ(frame.showTitle, c.showTitle) << c.position;
        EXPECT_EQ(frame.countdownDots, c.dots) << c.position;
        EXPECT_EQ(frame.lines.rest, u"好一朵");
    }
}

TEST(StageLayout, TheNextSongIsNamedInASongsLastSecondsAndBetweenSongs)
{
    const StageUpNext next {u"月亮代表我的心", u"邓丽君", u"小王"};
    struct Case {
        std::optional<StageUpNext> next;
        double position;
        double length;
        bool playing;
        std::u16string line;
    };
    const std::u16string named = u"下一首：月亮代表我的心（邓丽君）　演唱者：小王";
    const Case cases[] = {
        {next, 100, 200, true, u""},
        {next, 184.9, 200, true, u""},
        {next, 185, 200, true, named},
        {next, 0, 0, false, named}, // between songs
        {next, 190, 0, true, u""}, // a length not known yet
        {std::nullopt, 190, 200, true, u""},
        {StageUpNext {u"茉莉花", u"", u""}, 0, 0, false, u"下一首：茉莉花"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeUpNextLine(c.next, c.position, c.length, c.playing), c.line) << c.position;
}

} // namespace
} // namespace linlangok
