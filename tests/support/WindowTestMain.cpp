#include "tests/support/TemporaryFolder.h"

#include <QApplication>

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>

// Window tests: as the other tests, with one application object that lives as long as main. What
// the windows store with QSettings (their sizes) goes to a folder of the run's own, never to the
// user's configuration.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    const linlangok::test::CTemporaryFolder configuration;
    setenv("XDG_CONFIG_HOME", configuration.Path().c_str(), 1);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The SoundFont the bootstrap installs, so that tests hear the same instruments everywhere.
    if (const char* timGm = "/usr/share/sounds/sf2/TimGM6mb.sf2"; std::filesystem::exists(timGm))
        setenv("LINLANGOK_SOUNDFONT", timGm, 0);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
