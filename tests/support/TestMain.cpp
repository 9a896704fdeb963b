#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>

// Audio goes to the null device and windows are offscreen unless the environment says otherwise.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The SoundFont the bootstrap installs, so that tests hear the same instruments everywhere.
    if (const char* timGm = "/usr/share/sounds/sf2/TimGM6mb.sf2"; std::filesystem::exists(timGm))
        setenv("LINLANGOK_SOUNDFONT", timGm, 0);
    return RUN_ALL_TESTS();
}
