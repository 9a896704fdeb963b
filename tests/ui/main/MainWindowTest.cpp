#include "app/services/PlatformServices.h"
#include "tests/core/session/SessionRig.h"
#include "tests/support/ScriptedProgramLauncher.h"
#include "ui/desktop/QtUserPrompts.h"
#include "ui/desktop/TerminationSignals.h"
#include "ui/lyrics/LyricsShowWindow.h"
#include "ui/main/KaraokeApplication.h"
#include "ui/main/StatusDisplay.h"
#include "ui/mixer/VolumeWindow.h"
#include "ui/songlist/SongListWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace linlangok {
namespace {

struct CNoDesktop final : IDesktopOpener {
    void OpenDocument(const std::filesystem::path&) override { }
    void OpenWebPage(std::u16string_view) override { }
};

class MainWindowTest : public ::testing::Test {
protected:
    // The application with its main window shown and active, as a user finds it.
    std::unique_ptr<CKaraokeApplication> Start(IUserPrompts* prompts = nullptr)
    {
        auto karaoke
            = std::make_unique<CKaraokeApplication>(ApplicationServices {devices.Services(nullptr, nullptr, prompts),
                meterInput, desktop, programs, LINLANGOK_SOURCE_DIR "/resources"});
        karaoke->Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&karaoke->MainWindow()));
        return karaoke;
    }

    // A key pressed and released in the focused control, as the user types it.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    // The quit code the window asks for after the action, or -1.
    static int QuitCodeAfter(CMainWindow& window, const std::function<void()>& action)
    {
        QSignalSpy quit(&window, &CMainWindow::quitRequested);
        action();
        return quit.count() == 1 ? quit.at(0).at(0).toInt() : -1;
    }

    test::CSessionDevices devices;
    test::CFakeWaveIn meterInput; // the fake serves one handle at a time: the meter has its own
    CNoDesktop desktop;
    test::CScriptedProgramLauncher programs;
};

TEST_F(MainWindowTest, EachWayOutHasItsQuitCode)
{
    struct Row {
        const char* how;
        std::function<void(CMainWindow&)> action;
        int code;
    };
    const Row rows[] = {
        {"退出 button", [](CMainWindow& window) { static_cast<QPushButton*>(window.Control(kExitButton))->click(); },
            1},
        {"Esc",
            [](CMainWindow& window) {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(&window, &escape);
            },
            2},
        {"close box", [](CMainWindow& window) { window.close(); }, 2},
        {"menu", [](CMainWindow& window) { window.MenuBar()->actions()[0]->menu()->actions()[0]->trigger(); }, 32787},
    };
    for (const Row& row : rows) {
        auto karaoke = Start();
        EXPECT_EQ(QuitCodeAfter(karaoke->MainWindow(), [&] { row.action(karaoke->MainWindow()); }), row.code)
            << row.how;
        EXPECT_FALSE(karaoke->MainWindow().isVisible()) << row.how;
    }
}

// Space at start plays, a focused box or edit takes its Space, Enter never quits, and the boxes
// keep what the user set until they are read: 同步播放结束 when the take stops.
TEST_F(MainWindowTest, KeysGoToTheFocusedControlAndTheBoxesKeepWhatTheUserSet)
{
    auto karaoke = Start();
    CMainWindow& window = karaoke->MainWindow();
    CMainController& controller = window.Controller();
    Press(Qt::Key_Space);
    EXPECT_TRUE(controller.IsPlaying());
    Press(Qt::Key_Space);
    EXPECT_FALSE(controller.IsPlaying());
    for (const int focused : {kStartTogetherBox, kStopTogetherBox, kAccompanimentEdit, kStatusDisplay}) {
        window.Control(focused)->setFocus();
        Press(focused == kAccompanimentEdit ? Qt::Key_Return : Qt::Key_Space);
    }
    const std::u16string song = test::CSessionRig::DemoSong();
    controller.FileDropped(Utf16ToPath(song));
    controller.PlayNow(song);
    for (const int box : {kStartTogetherBox, kStopTogetherBox})
        EXPECT_FALSE(static_cast<QCheckBox*>(window.Control(box))->isChecked()) << box;
    EXPECT_TRUE(controller.IsPlaying() && window.isVisible());
    window.Control(kStopTogetherBox)->setFocus();
    Press(Qt::Key_Space);
    Press(Qt::Key_R, Qt::ControlModifier);
    Press(Qt::Key_Space); // unticked during the take
    Press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(controller.IsPlaying() && !controller.IsRecording());
}

TEST_F(MainWindowTest, WithoutACaptureDeviceRecordSaysWhyAndTheMeterOnlyOnce)
{
    devices.waveIn.devices.clear();
    meterInput.devices.clear();
    auto karaoke = Start();
    CMainController& controller = karaoke->MainWindow().Controller();
    controller.Record();
    EXPECT_FALSE(controller.IsPlaying() || controller.IsRecording() || karaoke->MainWindow().IsRecordTickRunning());
    controller.Play();
    controller.Stop();
    controller.Play();
    EXPECT_EQ(devices.prompts.MessageTexts(),
        (std::vector<std::string> {"没有可用的录音设备,无法录音。", "Can't open WAVE In Device!"}));
}

TEST_F(MainWindowTest, SaveAsGivesABareNameTheMidiSuffix)
{
    CQtUserPrompts prompts;
    auto karaoke = Start(&prompts);
    const auto song = devices.home.Path() / "jasmine.kar";
    std::filesystem::copy_file(Utf16ToPath(test::CSessionRig::DemoSong()), song);
    karaoke->MainWindow().Controller().PickSong(PathToUtf16(song));
    QTimer::singleShot(0, [] { static_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
    static_cast<QPushButton*>(karaoke->MainWindow().Control(kSaveAsButton))->click(); // the suggested name
    EXPECT_TRUE(std::filesystem::is_regular_file(devices.home.Path() / "jasmine.mid"));
}

TEST_F(MainWindowTest, ControlsSitWhereTheTemplatePutsThemAndTheirTextsFit)
{
    auto karaoke = Start();
    CMainWindow& window = karaoke->MainWindow();
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // not resizable
    EXPECT_EQ(window.windowTitle(), QStringLiteral("琳朗卡拉OK 1.2"));
    EXPECT_FALSE(window.windowIcon().isNull());
    const QRect display = window.Control(kStatusDisplay)->geometry();
    const QRect meter = window.Control(kLevelMeter)->geometry();
    EXPECT_EQ(display.top(), window.MenuBar()->height());
    EXPECT_EQ(meter.top(), display.top()); // the meter lies over the strip's right end
    EXPECT_EQ(meter.right(), display.right());
    for (QWidget* child : window.findChildren<QWidget*>()) {
        const auto* button = qobject_cast<QAbstractButton*>(child);
        const auto* label = qobject_cast<QLabel*>(child);
        if (!button && !label)
            continue;
        const QString text = button ? button->text() : label->text();
        if (text.isEmpty())
            continue;
        EXPECT_LE(child->sizeHint().width(), child->width() + 2) << text.toStdString();
        EXPECT_FALSE(child->accessibleName().isEmpty()) << text.toStdString();
    }
    for (const int edit : {kAccompanimentEdit, kLyricEdit, kPitchEdit})
        EXPECT_FALSE(window.Control(edit)->accessibleName().isEmpty());
}

TEST_F(MainWindowTest, TheMelodyBoxSwitchesTheGuideMelody)
{
    auto karaoke = Start();
    auto* box = static_cast<QCheckBox*>(karaoke->MainWindow().Control(kMelodyBox));
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(karaoke->Session().Melody());
}

TEST_F(MainWindowTest, NothingHearsTheDisplayTickWhileACommandIsHalfDone)
{
    const auto karaoke = Start();
    QSignalSpy ticked(&karaoke->MainWindow(), &CMainWindow::displayTicked);
    int ticksDuringBox = -1;
    devices.prompts.m_whileShowing = [&] {
        QTest::qWait(450); // the box's own event loop runs the window's timers
        ticksDuringBox = static_cast<int>(ticked.count());
    };
    karaoke->Session().SetAccompanimentPath(Utf8ToUtf16(devices.home.WriteFile("bad.mid", "not a midi file").string()));
    karaoke->MainWindow().Controller().Play();
    EXPECT_EQ(ticksDuringBox, 0);
    devices.prompts.m_whileShowing = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked.count() > 0; }));
}

TEST_F(MainWindowTest, CompanionsStartDockedAroundTheMainWindowAndStayWhenItMoves)
{
    auto karaoke = Start();
    const QRect main = karaoke->MainWindow().frameGeometry();
    const QRect lyrics = karaoke->LyricsWindow().frameGeometry();
    const QRect volume = karaoke->VolumeWindow().frameGeometry();
    const QRect songList = karaoke->SongListWindow().frameGeometry();
    EXPECT_EQ(songList.topLeft(), main.bottomLeft() + QPoint(0, 1));
    // Sizes from the rule, but never below a window's minimum (its template's size).
    const auto atLeast = [](int size, int minimum) { return std::max(size, minimum); };
    EXPECT_EQ(songList.width(), atLeast(main.width(), karaoke->SongListWindow().minimumWidth()));
    EXPECT_EQ(songList.height(), atLeast(volume.height(), karaoke->SongListWindow().minimumHeight()));
    EXPECT_EQ(lyrics.topLeft(), main.topRight() + QPoint(1, 0));
    EXPECT_EQ(lyrics.width(), atLeast(volume.width(), karaoke->LyricsWindow().minimumWidth()));
    EXPECT_EQ(lyrics.height(), atLeast(main.height(), karaoke->LyricsWindow().minimumHeight()));
    EXPECT_EQ(volume.topLeft(), main.bottomRight() + QPoint(1, 1));
    karaoke->MainWindow().move(main.topLeft() + QPoint(40, 30));
    QApplication::processEvents();
    EXPECT_EQ(karaoke->LyricsWindow().frameGeometry(), lyrics);
}

TEST_F(MainWindowTest, TheStatusStripShowsGreenTextOnBlack)
{
    auto karaoke = Start();
    karaoke->MainWindow().Controller().Play();
    karaoke->MainWindow().Controller().DisplayTick();
    const QImage strip = karaoke->MainWindow().StatusDisplay().grab().toImage();
    int green = 0;
    int black = 0;
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x) {
            const QRgb pixel = strip.pixel(x, y);
            green += pixel == kStatusTextColour;
            black += pixel == qRgb(0, 0, 0);
        }
    EXPECT_GT(green, 200);
    EXPECT_GT(black, strip.width() * strip.height() / 2);
}

TEST_F(MainWindowTest, TerminationDuringPlaybackSavesSettingsAndKeepsForeignLines)
{
    const std::string foreign = "[Other]\r\nname=\xC4\xE3\xBA\xC3\xFF\r\n"; // GBK and a stray byte
    devices.home.WriteFile("OKSetting.ini", foreign + "[GLOBAL_SETING]\r\nEXCEPTION_DATA=0100000001\r\n");
    {
        CTerminationSignalWatcher termination;
        auto karaoke = Start();
        QObject::connect(&termination, &CTerminationSignalWatcher::terminationRequested, &karaoke->MainWindow(),
            &CMainWindow::QuitFromMenu);
        karaoke->MainWindow().Controller().Play();
        devices.Advance(500);
        const int code = QuitCodeAfter(karaoke->MainWindow(), [] {
            std::raise(SIGTERM);
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents();
        });
        EXPECT_EQ(code, kQuitByMenu);
    }
    const std::string saved = test::ReadWholeFile(devices.home.Path() / "OKSetting.ini");
    EXPECT_EQ(saved.substr(0, foreign.size()), foreign);
    EXPECT_NE(saved.find("EXCEPTION_DATA=0000000000"), std::string::npos);
    EXPECT_NE(saved.find("UNDO_DATA=1200000012"), std::string::npos);
}

TEST(PlatformServices, TheSessionDecodesSongTextsWithTheCodePageTheEnvironmentChose)
{
    setenv("LINLANGOK_CODEPAGE", "BIG5", 1);
    CPlatformServices platform(*qApp);
    unsetenv("LINLANGOK_CODEPAGE");
    EXPECT_EQ(platform.Services().session.codePage.Name(), "BIG5");
}

TEST(PlatformServices, ABadSoundDeviceChoiceIsShownAndTheVirtualDevicesStandIn)
{
    // The boxes are answered as they open, and their texts kept.
    QStringList shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.append(box->text());
            box->accept();
        }
    });
    answer.start(10);
    setenv("LINLANGOK_AUDIO_OUT", "null,latency=x", 1);
    setenv("LINLANGOK_AUDIO_IN", "null,latency=-1", 1);
    CPlatformServices platform(*qApp);
    setenv("LINLANGOK_AUDIO_OUT", "null", 1);
    unsetenv("LINLANGOK_AUDIO_IN");
    ASSERT_EQ(shown.size(), 2) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("LINLANGOK_AUDIO_OUT"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[1].contains(QStringLiteral("LINLANGOK_AUDIO_IN"))) << shown[1].toStdString();
    EXPECT_EQ(platform.Services().session.audioOutput.OutputLatency(), std::chrono::microseconds(0));
}

} // namespace
} // namespace linlangok
