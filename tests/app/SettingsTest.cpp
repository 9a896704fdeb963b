#include "app/Settings.h"
#include "common/Text.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

class Settings : public ::testing::Test {
protected:
    std::string Folder() const { return m_folder.Path().string(); }
    std::string FileBytes() const { return test::ReadWholeFile(m_folder.Path() / "OKSetting.ini"); }

    const CIconvCodePage m_gbk {"GBK"};
    test::CTemporaryFolder m_folder;
};

TEST_F(Settings, WithoutAFileTheDefaultsAreWrittenAtExit)
{
    {
        CSettings settings(m_folder.Path(), m_gbk);
        EXPECT_EQ(settings.Values().exitMarker, 1);
        EXPECT_EQ(settings.Values().languageValue, 0); // GBK
    }
    EXPECT_EQ(FileBytes(),
        "[PATH_SETTING]\r\n"
        "PROJECT_DIR="
            + Folder() + "\r\nLYRIC_DIR=" + Folder() + "/Lyric\r\nPLAY_LIST=" + Folder()
            + "/PlayList\r\nCHORD_FILE=" + Folder()
            + "/Stytles/DefChord.crd\r\n"
              "[GLOBAL_SETING]\r\n"
              "UNDO_DATA=1200000012\r\n"
              "WEBS_DATA=0100000001\r\n"
              "LANG_DATA=0000000000\r\n"
              "MKBOARD_DATA=0100000001\r\n"
              "ATSAVE_DATA=0100000001\r\n"
              "EXCEPTION_DATA=0000000000\r\n"
              "UKVP_DATA=0000000000\r\n");
}

TEST_F(Settings, ValuesFromAnotherBuildReadBackAndOtherKeysStay)
{
    const std::string file = "[PATH_SETTING]\r\n"
                             "PROJECT_DIR=\r\n"
                             "LYRIC_DIR=D:\\\xB8\xE8\xB4\xCA\r\n"
                             "OWN_KEY=kept\r\n"
                             "[GLOBAL_SETING]\r\n"
                             "UNDO_DATA=1300000012\r\n"
                             "WEBS_DATA=0000000000\r\n"
                             "LANG_DATA=0300000003\r\n"
                             "MKBOARD_DATA=FFFFFFFFFC\r\n"
                             "EXCEPTION_DATA=0100000001\r\n"
                             "[MINE]\r\n"
                             "x=y\r\n";
    m_folder.WriteFile("OKSetting.ini", file);
    {
        CSettings settings(m_folder.Path(), m_gbk);
        const SettingsValues& values = settings.Values();
        EXPECT_EQ(values.projectFolder, Utf8ToUtf16(Folder()));
        EXPECT_EQ(values.lyricFolder, u"D:\\歌词");
        EXPECT_EQ(values.undoValue, 18); // bad checksum: the default
        EXPECT_EQ(values.webValue, 0);
        EXPECT_EQ(values.languageValue, 3);
        EXPECT_EQ(values.keyboardValue, -1);
        EXPECT_EQ(values.autoSaveValue, 1); // missing
        EXPECT_EQ(values.exitMarker, 1);
    }
    const std::string written = FileBytes();
    EXPECT_NE(written.find("PROJECT_DIR=" + Folder() + "\r\n"), std::string::npos);
    EXPECT_NE(written.find("LYRIC_DIR=D:\\\xB8\xE8\xB4\xCA\r\nOWN_KEY=kept\r\nPLAY_LIST="), std::string::npos);
    EXPECT_NE(written.find("UNDO_DATA=1200000012\r\n"), std::string::npos);
    EXPECT_NE(written.find("MKBOARD_DATA=FFFFFFFFFC\r\n"), std::string::npos);
    EXPECT_NE(written.find("EXCEPTION_DATA=0000000000\r\n"), std::string::npos);
    EXPECT_NE(written.find("UKVP_DATA=0000000000\r\n[MINE]\r\nx=y\r\n"), std::string::npos);
}

TEST_F(Settings, TheLanguageDefaultComesFromTheCodePage)
{
    EXPECT_EQ(LanguageValueForCodePage("GBK"), 0);
    EXPECT_EQ(LanguageValueForCodePage("big5"), 1);
    EXPECT_EQ(LanguageValueForCodePage("CP932"), 3);
    EXPECT_EQ(LanguageValueForCodePage("CP1252"), 2);
    EXPECT_EQ(LanguageValueForCodePage(""), 2);

    const CIconvCodePage big5("BIG5");
    {
        CSettings settings(m_folder.Path(), big5);
    }
    EXPECT_NE(FileBytes().find("LANG_DATA=0100000001\r\n"), std::string::npos);
}

TEST_F(Settings, LoadReadsTheFileAgainAndAFailedSaveIsSilent)
{
    CSettings settings(m_folder.Path() / "missing", m_gbk);
    EXPECT_FALSE(settings.Save());
    settings.Values().webValue = 7;
    settings.Load();
    EXPECT_EQ(settings.Values().webValue, 1);
}

} // namespace
} // namespace linlangok
