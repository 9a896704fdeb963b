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

} // namespace
} // namespace linlangok
