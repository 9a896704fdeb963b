#include "platform/codepage/IconvCodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <QApplication>

#include <gmock/gmock.h>

#include <cstdlib>

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
    linlangok::SetLegacyCodePage(std::make_shared<linlangok::CIconvCodePage>("GBK"));
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
