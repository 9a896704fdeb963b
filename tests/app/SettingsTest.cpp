#include "app/Settings.h"
#include "common/Text.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

class Settings : public ::testing::Test {
protected:
    Settings() { std::filesystem::create_directory(Home()); }

    // The program folder, whose name GBK holds.
    std::filesystem::path Home() const { return m_folder.Path() / "歌"; }
    std::string Folder() const { return Home().string(); }
    std::string FileBytes() const { return test::ReadWholeFile(Home() / "OKSetting.ini"); }

    const CIconvCodePage m_gbk {"GBK"};
    test::CTemporaryFolder m_folder;
};

TEST_F(Settings, WithoutAFileTheDefaultsAreWrittenAtExitInTheLegacyCodePage)
{
    const std::string folder = m_gbk.FromWide(Utf8ToUtf16(Folder()));
    {
        CSettings settings(Home(), m_gbk);
        EXPECT_EQ(settings.Values().exitMarker, 1);
        EXPECT_EQ(settings.Values().languageValue, 0); // GBK
    }
    EXPECT_EQ(FileBytes(),
        "[PATH_SETTING]\r\n"
        "PROJECT_DIR="
            + folder + "\r\nLYRIC_DIR=" + folder + "/Lyric\r\nPLAY_LIST=" + folder + "/PlayList\r\nCHORD_FILE=" + folder
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

TEST_F(Settings, ValuesFromAnotherBuildReadBackAndOtherLinesKeepTheirBytes)
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
                             "x=\xB8\xE8\x80\xFF\r\n";
    m_folder.WriteFile("歌/OKSetting.ini", file);
    {
        CSettings settings(Home(), m_gbk);
        const SettingsValues& values = settings.Values();
        EXPECT_EQ(values.projectFolder, Utf8ToUtf16(Folder()));
        EXPECT_EQ(values.lyricFolder, u"D:\\歌词");
        EXPECT_EQ(values.undoValue, 18); // bad checksum: the default
        EXPECT_EQ(values.webValue, 0);
        EXPECT_EQ(values.languageValue, 3);
        EXPECT_EQ(values.keyboardValue, -1);
        EXPECT_EQ(values.autoSaveValue, 1); // missing
        EXPECT_EQ(values.exitMarker, 1);
        settings.Values().chordFile = u"/\u0E01"; // not in GBK: the values are written in UTF-8
    }
    const std::string written = FileBytes();
    EXPECT_NE(written.find("PROJECT_DIR=" + Folder() + "\r\n"), std::string::npos);
    EXPECT_NE(written.find("LYRIC_DIR=D:\\\xE6\xAD\x8C\xE8\xAF\x8D\r\nOWN_KEY=kept\r\nPLAY_LIST="), std::string::npos);
    EXPECT_NE(written.find("CHORD_FILE=/\xE0\xB8\x81\r\n"), std::string::npos);
    EXPECT_NE(written.find("UNDO_DATA=1200000012\r\n"), std::string::npos);
    EXPECT_NE(written.find("MKBOARD_DATA=FFFFFFFFFC\r\n"), std::string::npos);
    EXPECT_NE(written.find("EXCEPTION_DATA=0000000000\r\n"), std::string::npos);
    EXPECT_NE(written.find("UKVP_DATA=0000000000\r\n[MINE]\r\nx=\xB8\xE8\x80\xFF\r\n"), std::string::npos);
    CSettings again(Home(), m_gbk);
    EXPECT_EQ(again.Values().lyricFolder, u"D:\\歌词");
    EXPECT_EQ(again.Values().chordFile, u"/\u0E01");
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
        CSettings settings(Home(), big5);
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
