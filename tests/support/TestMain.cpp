#include "platform/codepage/IconvCodePage.h"

#include <gmock/gmock.h>

#include <cstdlib>

// Every test runs with the Chinese legacy code page, whatever the machine's locale; audio goes to
// the null device and windows are offscreen unless the environment says otherwise.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    linlangok::SetLegacyCodePage(std::make_shared<linlangok::CIconvCodePage>("GBK"));
    return RUN_ALL_TESTS();
}
