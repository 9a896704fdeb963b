#include "app/services/PlatformServices.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/ui/main/ApplicationRig.h"
#include "ui/desktop/ApplicationSetup.h"
#include "ui/desktop/QtUserPrompts.h"
#include "ui/desktop/TerminationSignals.h"
#include "ui/lyrics/LyricsShowWindow.h"
#include "ui/main/StatusDisplay.h"
#include "ui/mixer/VolumeWindow.h"
#include "ui/songlist/SongListWindow.h"
#include "ui/widgets/ProgramSettings.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/ResizableWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/stat.h>

namespace linlangok {
namespace {

class MainWindowTest : public ::testing::Test, protected test::CApplicationRig {
protected:
    // The application with its main window shown and active, as a user finds it.
    std::unique_ptr<CKaraokeApplication> Start(IUserPrompts* prompts = nullptr)
    {
        auto karaoke = std::make_unique<CKaraokeApplication>(Services(devices.Services(nullptr, nullptr, prompts)));
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
                karaoke->MainWindow().Controller().Handle(command::Record {});
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
    controller.Handle(command::DropFile {Utf16ToPath(song)});
    controller.Handle(command::PlayNow {song});
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

// What Record says without a device is RecordingControllerTest's.
TEST_F(MainWindowTest, WithoutACaptureDeviceTheMeterSaysWhyOnlyOnce)
{
    meterInput.devices.clear();
    auto karaoke = Start();
    CMainController& controller = karaoke->MainWindow().Controller();
    controller.Handle(command::Play {});
    controller.Handle(command::Stop {});
    controller.Handle(command::Play {});
    EXPECT_EQ(devices.prompts.MessageTexts(), std::vector<std::string> {"Can't open WAVE In Device!"});
}

TEST_F(MainWindowTest, SaveAsGivesABareNameTheMidiSuffix)
{
    CQtUserPrompts prompts;
    auto karaoke = Start(&prompts);
    const auto song = devices.home.Path() / "jasmine.kar";
    std::filesystem::copy_file(Utf16ToPath(test::CSessionRig::DemoSong()), song);
    karaoke->MainWindow().Controller().Handle(command::PickSong {PathToUtf16(song)});
    QTimer::singleShot(0, [] { static_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
    static_cast<QPushButton*>(karaoke->MainWindow().Control(kSaveAsButton))->click(); // the suggested name
    EXPECT_TRUE(std::filesystem::is_regular_file(devices.home.Path() / "jasmine.mid"));
}

// A box over another of the program's windows (a dialog the user works in) belongs to that one, which
// has the keyboard again when the box closes; with none active, to the main window.
TEST_F(MainWindowTest, ABoxBelongsToTheWindowTheUserWorksIn)
{
    auto karaoke = Start();
    CQtUserPrompts prompts(&karaoke->MainWindow());
    QDialog dialog(&karaoke->MainWindow());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return QApplication::activeWindow() == &dialog; }));
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&owner] {
        owner = QApplication::activeModalWidget()->parentWidget();
        static_cast<QDialog*>(QApplication::activeModalWidget())->accept();
    });
    prompts.ShowMessage({std::nullopt, u"歌库服务器无法连接", EMessageButtons::Ok, EMessageIcon::Warning});
    EXPECT_EQ(owner, &dialog);
}

TEST_F(MainWindowTest, ControlsSitWhereTheTemplatePutsThemAndTheirTextsFit)
{
    auto karaoke = Start();
    CMainWindow& window = karaoke->MainWindow();
    const QRect display = window.Control(kStatusDisplay)->geometry();
    const QRect meter = window.Control(kLevelMeter)->geometry();
    EXPECT_EQ(display.top(), window.MenuBar()->height());
    EXPECT_EQ(meter.top(), display.top()); // the meter lies over the strip's right end
    EXPECT_EQ(meter.right(), display.right());
    test::ExpectTextsFitAndControlsNamed(window);
}

TEST_F(MainWindowTest, GbkAndFfNamedSongsComeInByDropAndBrowseShowTheirNamesAndPlay)
{
    const std::filesystem::path gbk = devices.home.Path() / "\xD6\xD0\xCE\xC4.mid"; // 中文 in GBK
    std::filesystem::copy_file(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid", gbk);
    const std::filesystem::path ff = devices.home.Path() / "a\xFF.wav";
    test::WriteWavFile(ff, test::SineFrames(4410, 440, 0.5));
    // Qt's file dialog reads such a name as U+FFFD; a drop's URI keeps its bytes.
    EXPECT_EQ(
        PathOfUrl(QUrl::fromLocalFile(QString::fromStdString((devices.home.Path() / "a\uFFFD.wav").string()))), ff);
    auto karaoke = Start();
    CMainController& controller = karaoke->MainWindow().Controller();
    for (const auto& [song, shown] : {std::pair {gbk, u"中文.mid"}, std::pair {ff, u"a\uFFFD.wav"}}) {
        QMimeData dropped;
        dropped.setData("text/uri-list", QByteArray::fromStdString(FileUriOfPath(song) + "\r\n"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&karaoke->MainWindow(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&karaoke->MainWindow(), &drop);
        const auto* edit = static_cast<QLineEdit*>(karaoke->MainWindow().Control(kAccompanimentEdit));
        EXPECT_TRUE(edit->text().endsWith(QString::fromUtf16(shown)));
        controller.Handle(command::Play {});
        EXPECT_EQ(karaoke->Session().AccompanimentPath(), PathToUtf16(song));
        EXPECT_EQ(controller.Status().name, shown);
        EXPECT_TRUE(devices.prompts.m_messages.empty()) << song;
    }
}

// Text typed, or set by a screen reader or an on-screen keyboard through AT-SPI's EditableText
// (which Qt's accessibility interface stands for), reaches the session.
TEST_F(MainWindowTest, TheMelodyBoxAndTextTypedOrSetThroughAccessibilityReachTheSession)
{
    const std::filesystem::path song = devices.home.Path() / "song.wav";
    test::WriteWavFile(song, test::SineFrames(44100, 440, 0.5));
    auto karaoke = Start();
    CMainWindow& window = karaoke->MainWindow();
    auto* box = static_cast<QCheckBox*>(window.Control(kMelodyBox));
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(karaoke->Session().Melody());
    window.Controller().Handle(command::PickSong {test::CSessionRig::DemoSong()});
    auto* pitch = static_cast<QLineEdit*>(window.Control(kPitchEdit));
    pitch->selectAll();
    QTest::keyClicks(pitch, QStringLiteral("-3"));
    EXPECT_EQ(karaoke->Session().KeyAndTempo().Pitch(), -3);
    const auto setThroughAccessibility = [&window](int id, const QString& text) {
        QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(window.Control(id));
        edit->editableTextInterface()->replaceText(0, edit->textInterface()->characterCount(), text);
    };
    setThroughAccessibility(kPitchEdit, QStringLiteral("200"));
    EXPECT_EQ(pitch->text(), QStringLiteral("127"));
    EXPECT_EQ(karaoke->Session().KeyAndTempo().Pitch(), 127);
    setThroughAccessibility(kAccompanimentEdit, QString::fromStdString(song.string()));
    static_cast<QPushButton*>(window.Control(kPlayButton))->click();
    EXPECT_EQ(karaoke->Session().AccompanimentPath(), PathToUtf16(song));
}

TEST_F(MainWindowTest, TheStatusStripAndTheLyricsMoveOnUnderABoxWhileTheSongPlays)
{
    const std::filesystem::path song = devices.home.Path() / "song.wav";
    test::WriteWavFile(song, test::SineFrames(44100 * 3, 440, 0.5));
    const auto karaoke = Start();
    CMainWindow& window = karaoke->MainWindow();
    window.Controller().Handle(command::PathEdited {EPathEdit::Accompaniment, PathToUtf16(song)});
    window.Controller().Handle(command::PathEdited {
        EPathEdit::Lyric, PathToUtf16(devices.home.WriteFile("a.lrc", "[00:00]一\n[00:01]二\n[00:02]三"))});
    meterInput.FailOn("open", 1, 4); // the level meter's box, open till after the song's end
    std::vector<std::pair<int, std::u16string>> shown; // the strip's position, the lyrics' current line
    devices.prompts.m_whileShowing = [&] {
        for (int second = 0; second < 4; ++second) {
            devices.Advance(1000);
            QTest::qWait(300);
            shown.emplace_back(
                window.StatusDisplay().Values().positionSeconds, karaoke->LyricsWindow().Stage().lines.rest);
        }
    };
    window.Controller().Handle(command::Play {});
    EXPECT_EQ(shown, (std::vector<std::pair<int, std::u16string>> {{1, u"二"}, {2, u"三"}, {3, u"三"}, {3, u"三"}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.StatusDisplay().Values().playing; }));
}

// Qt appends the application's display name, when one is set, to every window title.
TEST(ApplicationSetup, WindowTitlesReadAsWrittenAndStockDialogButtonsSpeakTheDesktopsLanguage)
{
    SetUpApplication(*qApp, QLocale(QLocale::English));
    EXPECT_EQ(QApplication::applicationDisplayName(), QApplication::applicationName());
    // Qt's own translations: Chinese on Chinese desktops, simplified or traditional, German on a
    // German one, Qt's English where it has none.
    const std::pair<const char*, std::string> rows[] = {{"zh_CN", "是(&Y) 打开"}, {"zh_TW", "是(&Y) 開啟"},
        {"zh_HK", "是(&Y) 開啟"}, {"de_DE", "&Ja Öffnen"}, {"en_US", "&Yes Open"}};
    for (const auto& [locale, texts] : rows) {
        const std::unique_ptr<QTranslator> translations = LoadQtTranslations(QLocale(QString::fromUtf8(locale)));
        QApplication::installTranslator(translations.get()); // none: nothing installed
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::Open);
        const QString shown = box.button(QMessageBox::Yes)->text() + u' ' + box.button(QMessageBox::Open)->text();
        QApplication::removeTranslator(translations.get());
        EXPECT_EQ(shown.toStdString(), texts) << locale;
    }
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

// Docking places the resizable companions; the sizes they had at the last exit size them.
TEST_F(MainWindowTest, CompanionsTakeTheSizesTheyHadAtTheLastExit)
{
    QSize stored;
    {
        const auto karaoke = Start();
        karaoke->SongListWindow().resize(karaoke->SongListWindow().size() + QSize(30, 60));
        stored = karaoke->SongListWindow().frameGeometry().size();
    }
    const auto karaoke = Start();
    karaoke->MainWindow().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&karaoke->MainWindow()));
    EXPECT_EQ(karaoke->SongListWindow().frameGeometry(),
        QRect(karaoke->MainWindow().frameGeometry().bottomLeft() + QPoint(0, 1), stored));
    QSettings(kSettingsOrganisation, QStringLiteral("PlayListDlg")).clear();
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
        karaoke->MainWindow().Controller().Handle(command::Play {});
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

TEST_F(MainWindowTest, StartsAndPlaysWithSpecialFilesInItsProgramFolder)
{
    // A folder for the settings; a FIFO and an endless device for song lists and the song's lyrics.
    const std::filesystem::path& home = devices.home.Path();
    for (const char* folder : {"OKSetting.ini", "PlayList", "Lyric"})
        std::filesystem::create_directory(home / folder);
    ASSERT_EQ(::mkfifo((home / "PlayList" / "fifo.kpl").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((home / "Lyric" / "song.lrc").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", home / "PlayList" / "zero.kpl");
    test::WriteWavFile(home / "song.wav", test::SineFrames(4410, 440, 0.5));
    {
        auto karaoke = Start();
        EXPECT_EQ(karaoke->SongListWindow().findChild<QComboBox*>()->count(), 1); // the first list, made anew
        karaoke->MainWindow().Controller().Handle(command::PlayNow {PathToUtf16(home / "song.wav")});
        EXPECT_TRUE(karaoke->MainWindow().Controller().IsPlaying());
    }
    EXPECT_TRUE(std::filesystem::is_directory(home / "OKSetting.ini"));
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
        auto* accompaniment = static_cast<QLineEdit*>(karaoke.MainWindow().Control(kAccompanimentEdit));
        accompaniment->selectAll();
        QTest::keyClicks(accompaniment, QString::fromStdString(voice.string()));
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

// The session also decodes song texts with the code page the environment chose.
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
    setenv("LINLANGOK_CODEPAGE", "BIG5", 1);
    CPlatformServices platform(*qApp);
    setenv("LINLANGOK_AUDIO_OUT", "null", 1);
    unsetenv("LINLANGOK_AUDIO_IN");
    unsetenv("LINLANGOK_CODEPAGE");
    EXPECT_EQ(platform.Services().session.codePage.Name(), "BIG5");
    ASSERT_EQ(shown.size(), 2) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("LINLANGOK_AUDIO_OUT"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[1].contains(QStringLiteral("LINLANGOK_AUDIO_IN"))) << shown[1].toStdString();
    EXPECT_EQ(platform.Services().session.audioOutput.OutputLatency(), std::chrono::microseconds(0));
}

} // namespace
} // namespace linlangok
