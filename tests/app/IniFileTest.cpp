#include "app/IniFile.h"
#include "platform/codepage/IconvCodePage.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

using namespace std::string_literals;

const CIconvCodePage gbk("GBK");

TEST(ProfileStruct, BytesAsHexWithAChecksum)
{
    const std::vector<std::uint8_t> eighteen {18, 0, 0, 0};
    EXPECT_EQ(EncodeProfileStruct(eighteen), u"1200000012");
    EXPECT_EQ(EncodeProfileStruct(std::vector<std::uint8_t> {0xFF, 0xFF, 0xFF, 0xFF}), u"FFFFFFFFFC");
    EXPECT_EQ(DecodeProfileStruct(u"1200000012", 4), eighteen);
    EXPECT_EQ(DecodeProfileStruct(u"ffffffffFC", 4), (std::vector<std::uint8_t> {0xFF, 0xFF, 0xFF, 0xFF}));
    for (const char16_t* bad : {u"1200000013", u"12000000", u"120000001200", u"12000000G2", u"", u"1200000012 "})
        EXPECT_FALSE(DecodeProfileStruct(bad, 4)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

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

TEST(IniFile, ANewFileHasCarriageReturnLineFeedsAndOtherLineEndsAreKept)
{
    CIniFile file(gbk);
    file.SetValue(u"S", u"k", u"v");
    EXPECT_EQ(file.Serialize(), "[S]\r\nk=v\r\n");
    CIniFile odd = CIniFile::Parse("[S]\r\r\nk=v\r\r\r\nlast=1\r", gbk);
    EXPECT_EQ(odd.Value(u"S", u"last"), u"1");
    odd.SetValue(u"S", u"k", u"w");
    odd.SetValue(u"S", u"new", u"2");
    EXPECT_EQ(odd.Serialize(), "[S]\r\r\nk=w\r\r\r\nlast=1\r\nnew=2\r\n");
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

} // namespace
} // namespace linlangok
