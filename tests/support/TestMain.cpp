#include "platform/codepage/IconvCodePage.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>

// Every test runs with the Chinese legacy code page, whatever the machine's locale; audio goes to
// the null device and windows are offscreen unless the environment says otherwise.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The SoundFont the bootstrap installs, so that tests hear the same instruments everywhere.
    if (const char* timGm = "/usr/share/sounds/sf2/TimGM6mb.sf2"; std::filesystem::exists(timGm))
        setenv("LINLANGOK_SOUNDFONT", timGm, 0);
    linlangok::SetLegacyCodePage(std::make_shared<linlangok::CIconvCodePage>("GBK"));
    return RUN_ALL_TESTS();
}
