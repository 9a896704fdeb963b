#include "ui/video/VideoWindow.h"
#include "core/cdg/CdgPackets.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/ui/main/ApplicationRig.h"

#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace linlangok {
namespace {

// The application on virtual devices, with video songs; a KTV video of 3 s made with the ffmpeg
// command (4:3 pictures, white on the left half; 440 Hz left, 880 Hz right).
class VideoWindowTest : public ::testing::Test, protected test::CApplicationRig {
protected:
    void SetUp() override
    {
        const std::string make = "cd '" + devices.home.Path().string() + "' && ffmpeg -v error -y -f lavfi -i "
            + "\"color=c=black:s=64x48:r=25:d=3,geq=lum='if(lt(X,32),235,16)':cb=128:cr=128\" ";
        if (std::system((make
                + "-f lavfi -i sine=f=440:d=3 -f lavfi -i sine=f=880:d=3 -filter_complex "
                  "'[1:a][2:a]join=inputs=2:channel_layout=stereo' -c:a mp2 ktv.mpg && "
                + make + "silent.mp4")
                            .c_str())
            != 0)
            GTEST_SKIP() << "the ffmpeg command is not installed";
        SessionServices services = devices.Services();
        services.videoSongs = &videos;
        services.openMp3gSong = [](const std::filesystem::path& song) { return OpenMp3gSong(song); };
        karaoke = std::make_unique<CKaraokeApplication>(Services(services));
    }

    std::u16string Song(const char* name) const { return PathToUtf16(devices.home.Path() / name); }

    CFfmpegVideoSongs videos;
    std::unique_ptr<CKaraokeApplication> karaoke;
};

TEST_F(VideoWindowTest, ThePictureShowsLetterboxedAndTheSwitchChangesWhatIsHeard)
{
    CVideoWindow& window = karaoke->VideoWindow();
    window.resize(400, 300);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    CMainController& controller = karaoke->MainWindow().Controller();
    controller.Handle(command::PlayNow {Song("ktv.mpg")});
    while (karaoke->Session().Position() < 1.0)
        devices.Advance(10);
    for (int tick = 0; tick < 500 && !window.PictureView().Picture(); ++tick) {
        QTest::qWait(2);
        window.FrameTick();
    }
    ASSERT_TRUE(window.PictureView().Picture());
    const QImage picture = window.PictureView().grab().toImage();
    const int middle = picture.height() / 2;
    const int pictureWidth = picture.height() * 4 / 3; // 4:3 in a wider area: bars left and right
    const int left = (picture.width() - pictureWidth) / 2;
    EXPECT_EQ(picture.pixel(left / 2, middle), qRgb(0, 0, 0));
    EXPECT_GT(qGray(picture.pixel(left + pictureWidth / 4, middle)), 200);
    EXPECT_LT(qGray(picture.pixel(left + pictureWidth * 3 / 4, middle)), 50);

    EXPECT_EQ(window.VocalSwitch()->text(), QStringLiteral("原唱"));
    EXPECT_EQ(window.VocalPlace()->text(), QStringLiteral("右声道原唱"));
    QTest::mouseClick(window.VocalSwitch(), Qt::LeftButton);
    EXPECT_FALSE(karaoke->Session().Melody());
    EXPECT_EQ(window.VocalSwitch()->text(), QStringLiteral("伴唱"));
    EXPECT_FALSE(static_cast<QCheckBox*>(karaoke->MainWindow().Control(kMelodyBox))->isChecked());

    // The context menu puts the vocal on the left; the song remembers it.
    const std::unique_ptr<QMenu> menu = window.MakeContextMenu();
    QAction* leftChannel = nullptr;
    for (QAction* item : menu->actions())
        leftChannel = item->text() == QStringLiteral("左声道原唱") ? item : leftChannel;
    ASSERT_TRUE(leftChannel);
    leftChannel->trigger();
    EXPECT_EQ(window.VocalPlace()->text(), QStringLiteral("左声道原唱"));
    controller.Handle(command::Stop {});
    karaoke->Session().RecallSong();
    EXPECT_EQ(karaoke->Session().Video().SongVocalLayout().place, VocalLayout::EPlace::LeftChannel);
    EXPECT_FALSE(karaoke->Session().Melody());

    // A video without sound is refused with a message that says so.
    controller.Handle(command::PlayNow {Song("silent.mp4")});
    ASSERT_FALSE(devices.prompts.m_messages.empty());
    EXPECT_NE(devices.prompts.MessageTexts().back().find("没有声音"), std::string::npos);
}

// An MP3+G song's graphics show in the same window, in whole pixels, and there is nothing to switch.
TEST_F(VideoWindowTest, AnMp3gSongsGraphicsShowInWholePixels)
{
    CVideoWindow& window = karaoke->VideoWindow();
    window.resize(2 * 288 + 40, 2 * 192 + 80);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    test::WriteWavFile(devices.home.Path() / "g.wav", test::SineFrames(44100 * 2, 440, 0.5));
    devices.home.WriteFile("g.cdg", CdgColourTable(false, {0x000, 0xF00}) + CdgMemoryPreset(1));
    karaoke->MainWindow().Controller().Handle(command::PlayNow {Song("g.wav")});
    devices.Advance(100);
    window.FrameTick();
    ASSERT_TRUE(window.PictureView().Picture());
    EXPECT_TRUE(window.PictureView().Picture()->pixelArt);
    const QImage picture = window.PictureView().grab().toImage();
    EXPECT_EQ(picture.pixel(picture.width() / 2, picture.height() / 2), qRgb(255, 0, 0));
    EXPECT_FALSE(window.VocalSwitch()->isEnabled());
    // The 视频 menu stands before 帮助, which stays last.
    const QList<QAction*> menus = karaoke->MainWindow().MenuBar()->actions();
    EXPECT_EQ(menus.back()->text(), QStringLiteral("帮助(&H)"));
    EXPECT_EQ(menus[menus.size() - 2]->text(), QStringLiteral("视频(&V)"));
}

} // namespace
} // namespace linlangok
