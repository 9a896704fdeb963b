#include "ui/lyrics/LyricsShowWindow.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/ui/main/ApplicationRig.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

// Where the pixels of exactly one colour lie in a picture.
struct ColourExtent {
    int count = 0;
    QRect box;
};

ColourExtent FindColour(const QImage& image, RgbColour colour)
{
    const QRgb wanted = qRgb(colour.red, colour.green, colour.blue);
    ColourExtent extent;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == wanted) {
                ++extent.count;
                extent.box |= QRect(x, y, 1, 1);
            }
        }
    }
    return extent;
}

// The first item of the menu or its submenus whose text contains the words.
QAction* MenuItem(const QMenu& menu, const char* words)
{
    for (QAction* item : menu.actions()) {
        if (item->menu()) {
            if (QAction* found = MenuItem(*item->menu(), words))
                return found;
        } else if (item->text().contains(QString::fromUtf8(words))) {
            return item;
        }
    }
    return nullptr;
}

// The application on virtual devices with its lyrics window 400 × 300 pixels, not shown: paints
// happen only when a test grabs the window, and no window timer runs unless a test asks.
class LyricsShowWindowTest : public ::testing::Test, protected test::CApplicationRig {
protected:
    static constexpr int kWidth = 400;
    static constexpr int kMiddle = 150; // the current line's top without scrolling

    LyricsShowWindowTest()
        : karaoke(std::make_unique<CKaraokeApplication>(Services(devices.Services())))
        , window(karaoke->LyricsWindow())
        , controller(karaoke->MainWindow().Controller())
    {
        window.resize(kWidth, 2 * kMiddle);
    }

    // A silent WAV song of 25 seconds, with an LRC file of the same name in the Lyric folder
    // when lrc is not empty.
    std::u16string AudioSong(const std::string& lrc)
    {
        const auto song = devices.home.Path() / "song.wav";
        test::WriteWavFile(song, std::vector<std::int16_t>(8000 * 25), 8000, 1);
        if (!lrc.empty())
            devices.home.WriteFile("Lyric/song.lrc", lrc);
        return PathToUtf16(song);
    }

    // Plays the song from its start, lets it play to the position and runs one frame: the
    // picture then.
    QImage PlayAndShow(const std::u16string& song, double seconds)
    {
        controller.Handle(command::PathEdited {EPathEdit::Accompaniment, song});
        controller.Handle(command::Play {});
        return ShowAt(seconds);
    }

    // Time passes in small steps: an audio song's position counts only what its decoder had ready.
    QImage ShowAt(double seconds)
    {
        for (int step = 0; step < 100000 && karaoke->Session().Position() < seconds; ++step)
            devices.Advance(10);
        window.FrameTick();
        return window.grab().toImage();
    }

    std::unique_ptr<CKaraokeApplication> karaoke;
    CLyricsShowWindow& window;
    CMainController& controller;
};

TEST_F(LyricsShowWindowTest, WordTimedLrcLineIsSungRedUpToTheWordBeingSung)
{
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment,
        AudioSong("[00:00]<00:00.00>好一<00:02.00>朵茉<00:04.00>莉花<00:06.00>\n[00:10]满园花草\n")});
    controller.Handle(command::Play {});
    // At 2.5 s the second word is being sung: "好一朵茉" red, "莉花" white, together centred.
    // Where the split and the lines fall is the views' matter (LyricViewsTest).
    const QImage picture = ShowAt(2.5);
    const ColourExtent sung = FindColour(picture, kMidiSungPart);
    const ColourExtent rest = FindColour(picture, kMidiRestPart);
    ASSERT_GT(sung.count, 20);
    ASSERT_GT(rest.count, 20);
    EXPECT_LT(sung.box.right(), rest.box.left());
    EXPECT_NEAR((sung.box.left() + rest.box.right()) / 2.0, kWidth / 2.0, 6);
    EXPECT_GT(FindColour(picture, kLrcOtherLine).count, 20);

    // The context menu's nudge shows the words earlier, for the song, and opens the stage view.
    ShowAt(3.95);
    const std::unique_ptr<QMenu> menu = window.MakeContextMenu();
    MenuItem(*menu, "歌词提前 0.1 秒")->trigger();
    window.FrameTick();
    EXPECT_EQ(karaoke->Session().Texts().LrcOffsetMilliseconds(), 100);
    EXPECT_EQ(window.Stage().lines.sung, u"好一朵茉莉花");
    MenuItem(*menu, "舞台视图")->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.StageWindow()));
    EXPECT_EQ(window.StageWindow().Frame().lines.sung, u"好一朵茉莉花");
    window.ToggleStageView();
    EXPECT_FALSE(window.StageWindow().isVisible());
    // Another encoding reads the (UTF-8) file again at once.
    MenuItem(*menu, "BIG5")->trigger();
    window.FrameTick();
    EXPECT_EQ(karaoke->Session().Texts().EncodingOverride(), "BIG5");
    EXPECT_NE(window.Stage().lines.sung, u"好一朵茉莉花");
}

// At #BPM 15 a beat is a second: P1 sings a golden "朵茉莉" from 2 s, P2 "芬芳美丽" from 8 s.
TEST_F(LyricsShowWindowTest, ADuetsSecondVoiceAndItsGoldenSyllablesHaveTheirColours)
{
    AudioSong("");
    const std::u16string song = PathToUtf16(devices.home.WriteFile("duet.txt",
        "#TITLE:茉莉花\n#BPM:15\n#AUDIO:song.wav\nP1\n: 0 2 0 好一\n* 2 4 0 朵茉莉\nP2\n: 8 4 0 芬芳美丽\n"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QImage picture = PlayAndShow(song, 1);
    EXPECT_GT(FindColour(picture, kGoldenRestPart).count, 20);
    EXPECT_GT(FindColour(picture, kDuetOtherLine).count, 20);
    picture = ShowAt(3);
    EXPECT_GT(FindColour(picture, kGoldenSungPart).count, 20);
    EXPECT_EQ(FindColour(picture, kGoldenRestPart).count, 0);
}

TEST_F(LyricsShowWindowTest, OnlyTheIdleLinesOpenTheMakersPageOnALeftClick)
{
    PlayAndShow(AudioSong(""), 0.5);
    ASSERT_TRUE(karaoke->Session().Lyrics().ShowsIdleLyrics());
    QTest::mouseClick(&window, Qt::LeftButton);
    EXPECT_EQ(desktop.pages, std::vector<std::u16string> {u"http://www.orbisong.com#klok10ad"});

    PlayAndShow(test::CSessionDevices::DemoSong(), 0.5);
    QTest::mouseClick(&window, Qt::LeftButton);
    EXPECT_EQ(desktop.pages.size(), 1u);
}

// That the timer moves it under a box as well is MainWindowTest's.
TEST_F(LyricsShowWindowTest, OnlyTheTimerMovesTheText)
{
    controller.Handle(command::Record {}); // plays the demo song along
    ASSERT_TRUE(controller.IsRecording());
    const QImage first = ShowAt(6.5);
    EXPECT_EQ(window.Stage().lines.sung, u"好一朵美丽的"); // the song's syllables reached the presenter
    for (int paint = 0; paint < 10; ++paint)
        window.grab();
    window.resize(kWidth + 100, 4 * kMiddle);
    window.grab();
    window.resize(kWidth, 2 * kMiddle);
    EXPECT_EQ(window.grab().toImage(), first);
}

// A scoring source that gives what the test sets.
class CTestScoring final : public IScoringViewSource {
public:
    std::optional<ScoringView> View() const override { return view; }
    std::u16string Notice() const override { return {}; }

    std::optional<ScoringView> view;
};

TEST_F(LyricsShowWindowTest, ThePitchLaneDrawsTheTraceInTheHitColourAndTellsTheScore)
{
    // At 10 s, one note from 9 s to 11 s sung on pitch up to 9.6 s, then a semitone and a half
    // sharp.
    CTestScoring scoring;
    ScoringView view;
    view.now = 10;
    view.notes = {{9.0, 11.0, 66}};
    for (double t = 9.0; t < 10.0; t += 0.02)
        view.trace.push_back({t, t < 9.6 ? 66.0f : 67.5f, t < 9.6});
    view.runningScore = 87;
    view.lastLine = LineScore {{5.0, 8.5}, 92, LineWord(92)};
    scoring.view = view;
    window.SetScoringSource(&scoring);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.accessibleDescription(), QStringLiteral("得分 87，完美"));

    const QImage picture = window.grab().toImage();
    const LaneSplit split = SplitForLane({0, 0, window.width(), window.height()}, true, 0);
    const CPitchLaneLayout lane(split.band, FitPitchRange(view.notes), view.now);
    const auto colourAt = [&](double seconds, double pitch) {
        return picture.pixel(TruncateToInt(lane.X(seconds)), TruncateToInt(lane.Y(pitch)));
    };
    EXPECT_EQ(colourAt(9.3, 66), qRgb(kLaneHit.red, kLaneHit.green, kLaneHit.blue));
    EXPECT_EQ(colourAt(9.8, 67.5), qRgb(kLaneMiss.red, kLaneMiss.green, kLaneMiss.blue));
    EXPECT_EQ(colourAt(10.5, 66), qRgb(kLaneNote.red, kLaneNote.green, kLaneNote.blue)); // the note ahead

    // Without the source, the window is as before.
    window.SetScoringSource(nullptr);
    EXPECT_EQ(FindColour(window.grab().toImage(), kLaneHit).count, 0);
    EXPECT_TRUE(window.accessibleDescription().isEmpty());
}

// The size it had at exit is CResizableWindow's, checked in MainWindowTest.
TEST_F(LyricsShowWindowTest, CloseHidesAndTheMainWindowOffersToShowIt)
{
    karaoke->Show();
    QApplication::processEvents();
    ASSERT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(static_cast<QPushButton*>(karaoke->MainWindow().Control(kToggleLyricsButton))->text(),
        QStringLiteral("显示歌词"));
}

} // namespace
} // namespace linlangok
