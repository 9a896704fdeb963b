#include "core/controller/Settings.h"
#include "common/Text.h"
#include "core/controller/IniFile.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

using namespace std::string_literals;

const CIconvCodePage gbk("GBK");

TEST(IniFile, ValuesAreFoundWithoutRegardToCaseAndBlanks)
{
    const CIniFile file = CIniFile::Parse("top=level\r\n"
                                          "[Paths]\r\n"
                                          "  Lyric_Dir = /a b/c  \r\n"
                                          "; comment=no\r\n"
                                          "QUOTED=\"  x  \"\r\n"
                                          "empty=\r\n"
                                          "[paths]\r\n"
                                          "later=ignored\r\n"
                                          "[Other]\r\n"
                                          "LYRIC_DIR=other\r\n",
        gbk);
    EXPECT_EQ(file.Value(u"PATHS", u"lyric_dir"), u"/a b/c");
    EXPECT_EQ(file.Value(u"paths", u"quoted"), u"  x  ");
    EXPECT_EQ(file.Value(u"Paths", u"empty"), u"");
    EXPECT_FALSE(file.Value(u"Paths", u"; comment"));
    EXPECT_FALSE(file.Value(u"Paths", u"later")); // the first of two sections counts
    EXPECT_FALSE(file.Value(u"Paths", u"missing"));
    EXPECT_FALSE(file.Value(u"Missing", u"LYRIC_DIR"));
    EXPECT_EQ(file.Value(u"Other", u"LYRIC_DIR"), u"other");
}

TEST(IniFile, WritingKeepsEverythingElseAsItWas)
{
    const std::string original = "; settings\n"
                                 "[A]\n"
                                 "keep = this  \n"
                                 "x=1\n"
                                 "\n"
                                 "[B]\n"
                                 "y=2";
    CIniFile file = CIniFile::Parse(original, gbk);
    EXPECT_EQ(file.Serialize(), original);
    file.SetValue(u"a", u"X", u"changed");
    file.SetValue(u"A", u"new", u"added\nsecond line");
    file.SetValue(u"C", u"z", u"3");
    EXPECT_EQ(file.Serialize(),
        "; settings\n"
        "[A]\n"
        "keep = this  \n"
        "X=changed\n"
        "new=added\n"
        "\n"
        "[B]\n"
        "y=2\n"
        "[C]\n"
        "z=3\n");
}

TEST(IniFile, LinesNotSetKeepTheirBytesAndSetLinesTakeTheFilesEncoding)
{
    // A GBK line with bytes that are no GBK text stays as it was, also when a value GBK cannot
    // hold makes the set lines UTF-8. A new or ASCII file takes GBK while every value fits it.
    const std::string foreign = "[F]\r\nname=\xB8\xE8\x80\xFF\r\n";
    const struct {
        std::string file;
        std::u16string value;
        std::string written;
    } cases[] = {
        {foreign, u"词", foreign + "[S]\r\nk=\xB4\xCA\r\n"},
        {foreign, u"\u0E01", foreign + "[S]\r\nk=\xE0\xB8\x81\r\n"},
        {"", u"词", "[S]\r\nk=\xB4\xCA\r\n"},
        {"[S]\nk=1\n", u"\u0E01", "[S]\nk=\xE0\xB8\x81\n"},
        {"[S]\nname=\xE6\xAD\x8C\n", u"词", "[S]\nname=\xE6\xAD\x8C\nk=\xE8\xAF\x8D\n"},
        {"\xEF\xBB\xBF[S]\n", u"词", "\xEF\xBB\xBF[S]\nk=\xE8\xAF\x8D\n"},
        {"\xFF\xFE[\0S\0]\0\r\0\n\0"s, u"歌", "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x4C\x6B\r\0\n\0"s},
        {"[S]\r\r\nk=v\r\r\r\nlast=1\r", u"w", "[S]\r\r\nk=w\r\r\r\nlast=1\r"}, // odd line ends are kept
        {"[S]\r\r\nlast=1\r", u"w", "[S]\r\r\nlast=1\r\nk=w\r\n"},
    };
    for (const auto& [file, value, written] : cases) {
        CIniFile ini = CIniFile::Parse(file, gbk);
        EXPECT_EQ(ini.Serialize(), file);
        ini.SetValue(u"S", u"k", value);
        EXPECT_EQ(ini.Serialize(), written);
        EXPECT_EQ(CIniFile::Parse(written, gbk).Value(u"S", u"k"), value);
    }
    // One value that does not fit makes every set line UTF-8.
    CIniFile file(gbk);
    file.SetValue(u"S", u"a", u"歌");
    file.SetValue(u"S", u"b", u"\u0E01");
    EXPECT_EQ(file.Serialize(), "[S]\r\na=\xE6\xAD\x8C\r\nb=\xE0\xB8\x81\r\n");
}

class Settings : public ::testing::Test {
protected:
    Settings() { std::filesystem::create_directory(Home()); }

    // The program folder, whose name GBK holds.
    std::filesystem::path Home() const { return m_folder.Path() / "歌"; }
    std::string Folder() const { return Home().string(); }
    std::string FileBytes() const { return test::ReadWholeFile(Home() / "OKSetting.ini"); }

    test::CTemporaryFolder m_folder;
};

TEST_F(Settings, WithoutAFileTheDefaultsAreWrittenAtExitInTheLegacyCodePage)
{
    const std::string folder = gbk.FromWide(Utf8ToUtf16(Folder()));
    {
        CSettings settings(Home(), gbk);
        EXPECT_EQ(settings.Values().exitMarker, 1);
        EXPECT_EQ(settings.Values().languageValue, 0); // GBK
        EXPECT_EQ(CSettings(m_folder.Path(), CIconvCodePage("BIG5")).Values().languageValue, 1);
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
        CSettings settings(Home(), gbk);
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
    CSettings again(Home(), gbk);
    EXPECT_EQ(again.Values().lyricFolder, u"D:\\歌词");
    EXPECT_EQ(again.Values().chordFile, u"/\u0E01");
}

TEST_F(Settings, LoadReadsTheFileAgainAndAFailedSaveIsSilent)
{
    CSettings settings(m_folder.Path() / "missing", gbk);
    EXPECT_FALSE(settings.Save());
    settings.Values().webValue = 7;
    settings.Load();
    EXPECT_EQ(settings.Values().webValue, 1);
}

} // namespace
} // namespace linlangok
