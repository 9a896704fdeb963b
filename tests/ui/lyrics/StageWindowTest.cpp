#include "ui/lyrics/StageWindow.h"

#include "core/lyrics/LyricsLayout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

constexpr QSize kScreen(1280, 720);

QImage Paint(const StageFrame& frame, const QImage& cornerCode = {}, const SongFrame* picture = nullptr)
{
    QImage image(kScreen, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintStage(painter, image.rect(), frame, cornerCode, picture);
    return image;
}

// The rows holding a pixel near the colour, and the leftmost and rightmost such pixel.
struct Ink {
    std::vector<int> rows;
    int left = INT32_MAX;
    int right = -1;

    // Runs of consecutive rows: the wrapped lines of a text.
    int Bands() const
    {
        int bands = 0;
        for (size_t i = 0; i < rows.size(); ++i)
            bands += i == 0 || rows[i] > rows[i - 1] + 1 ? 1 : 0;
        return bands;
    }
    int Height() const { return rows.empty() ? 0 : rows.back() - rows.front() + 1; }
};

Ink FindInk(const QImage& image, RgbColour colour)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        bool found = false;
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red) + std::abs(pixel.green() - colour.green)
                    + std::abs(pixel.blue() - colour.blue)
                < 24) {
                found = true;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
            }
        }
        if (found)
            ink.rows.push_back(y);
    }
    return ink;
}

TEST(StageWindow, TheLinesAreLargeSweptWrappedAndTheTitleCountdownAndNextSongShowInTurn)
{
    StageFrame frame;
    frame.lines = {u"好一朵", u"茉莉花", u"芬芳美丽满枝桠", 12.0};
    const QImage sweep = Paint(frame);
    const Ink sung = FindInk(sweep, kMidiSungPart);
    const Ink rest = FindInk(sweep, kMidiRestPart);
    const Ink next = FindInk(sweep, kMidiOtherLine);
    // Readable from across the room: the glyphs of the current line fill most of an eighth.
    EXPECT_GE(sung.Height(), kScreen.height() / 8 * 3 / 4);
    EXPECT_LT(sung.right, rest.left); // sung on the left, the rest after it
    EXPECT_GT(next.rows.front(), rest.rows.back()); // the next line below
    EXPECT_TRUE(FindInk(sweep, kLrcCurrentLineEnding).rows.empty()); // no countdown

    frame.lines.rest = u"好一朵美丽的茉莉花，芬芳美丽满枝桠，又香又白人人夸，让我来将你摘下";
    frame.countdownDots = 2;
    const QImage wrapped = Paint(frame);
    const Ink longLine = FindInk(wrapped, kMidiRestPart);
    EXPECT_GE(longLine.Bands(), 2); // wrapped, not clipped
    EXPECT_LT(longLine.rows.back(), kScreen.height() - 1);
    EXPECT_GE(longLine.left, kScreen.width() / 20);
    EXPECT_LE(longLine.right, kScreen.width() - kScreen.width() / 20);
    const Ink dots = FindInk(wrapped, kLrcCurrentLineEnding);
    ASSERT_FALSE(dots.rows.empty());
    EXPECT_LT(dots.rows.back(), longLine.rows.front()); // above the first line

    StageFrame ending;
    ending.lines = {u"好一朵", u"茉莉花", u"芬芳美丽满枝桠", 12.0};
    ending.upNext = u"下一首：月亮代表我的心";
    const QImage upNext = Paint(ending);
    const Ink named = FindInk(upNext, kStageUpNext);
    const Ink above = FindInk(upNext, kMidiOtherLine);
    ASSERT_FALSE(named.rows.empty());
    ASSERT_FALSE(above.rows.empty());
    EXPECT_GT(named.rows.front(), above.rows.back()); // at the foot, below the lines
    EXPECT_LT(named.rows.back(), kScreen.height() - 1);
    // A code to scan in the corner keeps the line naming the next song clear of it.
    QImage code(21, 21, QImage::Format_RGB32);
    code.fill(Qt::white);
    ending.upNext = u"下一首：月亮代表我的心（邓丽君）　演唱者：小王";
    const Ink beside = FindInk(Paint(ending, code), kStageUpNext);
    ASSERT_FALSE(beside.rows.empty());
    EXPECT_LT(beside.right, kScreen.width() - kScreen.height() / 3);
    // A song's picture keeps left of the code as well, whole, with the next song named over its foot.
    const SongFrame red {4, 3, std::vector<std::uint32_t>(12, 0xFFFF0000u), 4.0 / 3};
    const QImage pictured = Paint(ending, code, &red);
    const Ink picture = FindInk(pictured, {255, 0, 0});
    ASSERT_FALSE(picture.rows.empty());
    EXPECT_LT(picture.right, kScreen.width() - kScreen.height() / 3);
    EXPECT_EQ(picture.rows.front(), 0);
    const Ink over = FindInk(pictured, kStageUpNext);
    ASSERT_FALSE(over.rows.empty());
    EXPECT_GT(over.rows.front(), picture.rows.back()); // on the shaded foot of the picture
    EXPECT_TRUE(FindInk(pictured, kMidiOtherLine).rows.empty()); // the picture instead of the lines

    frame.showTitle = true;
    frame.title = u"茉莉花";
    frame.credits = u"江苏民歌";
    const QImage title = Paint(frame);
    EXPECT_TRUE(FindInk(title, kMidiSungPart).rows.empty()); // the title instead of the lines
    EXPECT_GE(FindInk(title, kLrcCurrentLine).Height(), kScreen.height() / 8 * 3 / 4);
    EXPECT_FALSE(FindInk(title, kLrcOtherLine).rows.empty());
}

struct CFixedStage final : IStageSource {
    StageFrame Stage() const override { return frame; }
    std::shared_ptr<const SongFrame> StagePicture() const override { return picture; }
    StageFrame frame;
    std::shared_ptr<const SongFrame> picture;
};

TEST(StageWindow, ItOpensFullScreenOnTheChosenScreenAndEscClosesIt)
{
    CFixedStage source;
    source.frame.lines.rest = u"茉莉花";
    CStageWindow window(source);
    QScreen* screen = QGuiApplication::primaryScreen();
    window.ChooseScreen(screen);
    EXPECT_EQ(window.ChosenScreen(), screen);
    window.Toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_EQ(window.geometry(), screen->geometry());
    EXPECT_EQ(window.Frame(), source.frame);
    // Where a song's picture goes is PictureFit's rule (VideoSongTest) and PaintStage's above.
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace linlangok
