#include "platform/codepage/IconvCodePage.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <cstdlib>

// Window tests: as the other tests, with one application object that lives as long as main.
// Settings that windows write (their sizes at exit) go to a temporary folder, never the user's.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    linlangok::SetLegacyCodePage(std::make_shared<linlangok::CIconvCodePage>("GBK"));
    QApplication application(argc, argv);
    const QTemporaryDir settingsFolder;
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settingsFolder.path());
    return RUN_ALL_TESTS();
}
