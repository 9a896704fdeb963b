#include "app/KaraokeApplication.h"
#include "app/PlatformServices.h"
#include "app/StatusDisplay.h"
#include "app/TerminationSignals.h"
#include "lyrics/LyricsShowWindow.h"
#include "mixer/VolumeWindow.h"
#include "songlist/SongListWindow.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/session/SessionRig.h"
#include "tests/support/ScriptedProgramLauncher.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
    std::unique_ptr<CKaraokeApplication> Start()
    {
        auto karaoke = std::make_unique<CKaraokeApplication>(
            ApplicationServices {devices.Services(), meterInput, desktop, programs, LINLANGOK_SOURCE_DIR "/resources"});
        karaoke->Show();
        QApplication::processEvents();
        return karaoke;
    }

    // The quit code the window asks for after the action, or -1.
    static int QuitCodeAfter(CMainWindow& window, const std::function<void()>& action)
    {
        QSignalSpy quit(&window, &CMainWindow::quitRequested);
        action();
        return quit.count() == 1 ? quit.at(0).at(0).toInt() : -1;
    }

    test::CSessionDevices devices;
    test::CFakeWaveIn meterInput; // the in-memory input serves one client at a time: the recorder
    CNoDesktop desktop;
    test::CScriptedProgramLauncher programs;
};

// Each way out has its quit code, and during a recording asks first and saves the take.
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
    for (const bool recording : {false, true}) {
        for (const Row& row : rows) {
            auto karaoke = Start();
            karaoke->Raise();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&karaoke->MainWindow()));
            const auto saved = devices.home.Path() / (std::string(row.how) + ".mp3");
            if (recording) {
                karaoke->MainWindow().Controller().Record();
                devices.waveIn.Capture(4410, 1000, -1000);
                devices.prompts.m_answers = {EPromptAnswer::Yes};
                devices.prompts.m_paths = {saved};
            }
            EXPECT_EQ(QuitCodeAfter(karaoke->MainWindow(), [&] { row.action(karaoke->MainWindow()); }), row.code)
                << row.how;
            EXPECT_FALSE(karaoke->MainWindow().isVisible()) << row.how;
            EXPECT_EQ(std::filesystem::exists(saved), recording) << row.how;
        }
    }
    EXPECT_EQ(devices.prompts.MessageTexts(), std::vector<std::string>(4, "当前正在录音,需要退出程序吗?"));
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
            &CMainWindow::Terminate);
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

// The program as main builds it, recording from a WAV file: SIGTERM keeps the take as a dated MP3
// in the program folder, with nobody asked.
TEST(PlatformServices, SigtermDuringARecordingKeepsADatedMp3)
{
    test::CTemporaryFolder home;
    const auto voice = home.Path() / "voice.wav";
    test::WriteWavFile(voice, test::SineFrames(44100 * 5, 440, 0.5));
    setenv("LINLANGOK_HOME", home.Path().c_str(), 1);
    setenv("LINLANGOK_AUDIO_IN", ("wav:" + voice.string()).c_str(), 1);
    {
        CPlatformServices platform(*qApp);
        CKaraokeApplication karaoke(platform.Services());
        platform.Prompts().SetOwner(&karaoke.MainWindow());
        CTerminationSignalWatcher termination;
        QObject::connect(&termination, &CTerminationSignalWatcher::terminationRequested, &karaoke.MainWindow(),
            &CMainWindow::Terminate);
        karaoke.Show();
        karaoke.Raise();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&karaoke.MainWindow()));
        static_cast<QLineEdit*>(karaoke.MainWindow().Control(kAccompanimentEdit))->setText(voice.c_str());
        static_cast<QPushButton*>(karaoke.MainWindow().Control(kRecordButton))->click();
        ASSERT_TRUE(karaoke.MainWindow().Controller().IsRecording());
        QTest::qWait(300);
        std::raise(SIGTERM);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !karaoke.MainWindow().isVisible(); }));
    }
    unsetenv("LINLANGOK_AUDIO_IN");
    unsetenv("LINLANGOK_HOME");
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(home.Path())) {
        if (entry.path().filename().string().starts_with("未保存的录音 "))
            kept.push_back(entry.path());
        EXPECT_FALSE(entry.path().filename().string().starts_with(".$$")) << entry.path();
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_GT(test::Mp3Frames(test::ReadWholeFile(kept[0])).size(), 5u); // 300 ms and more
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
