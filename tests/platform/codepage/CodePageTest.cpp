#include "common/FilePath.h"
#include "common/Text.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/ScriptedEncodingDetector.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

using namespace std::string_literals;

TEST(IconvCodePage, ConvertsGbkBothWaysAndRefusesAnUnknownEncoding)
{
    CIconvCodePage gbk("GBK");
    EXPECT_EQ(gbk.ToWide("\xC4\xE3\xBA\xC3"), u"你好");
    EXPECT_EQ(gbk.FromWide(u"茉莉花"), "\xDC\xD4\xC0\xF2\xBB\xA8");
    EXPECT_EQ(gbk.FromWide(u"a\u0E01b"), "a?b"); // Thai is not in GBK
    EXPECT_THROW(CIconvCodePage("NO-SUCH-ENCODING"), std::runtime_error);
}

TEST(IconvCodePage, BadBytesBecomeReplacementCharactersAndConversionGoesOn)
{
    CIconvCodePage gbk("GBK");
    EXPECT_EQ(gbk.ToWide("\xC4"), u"\uFFFD"); // cut-off double byte
    EXPECT_EQ(gbk.ToWide("a\xFF"s + "b"), u"a\uFFFDb"); // 0xFF is no lead byte
    EXPECT_EQ(gbk.ToWide(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(gbk.ToWide(std::string(100000, 'x')).size(), 100000u);
}

TEST(PathDisplay, NamesThatAreNotUtf8ShowInTheDetectedEncodingElseInTheLegacyCodePage)
{
    const CIconvCodePage gbk("GBK"), big5("BIG5");
    const test::CScriptedEncodingDetector unsure(nullptr), saysBig5(&big5);
    const CPathDisplay names(gbk, unsure);
    EXPECT_EQ(names.Text(u"/歌/\xDCD6\xDCD0/\xDCCE\xDCC4.mid"), u"/歌/中/文.mid");
    EXPECT_EQ(names.Text(u"a\xDCFF.mid"), u"a\uFFFD.mid");
    EXPECT_EQ(CPathDisplay(gbk, saysBig5).Text(u"/\xDCA4\xDCA4\xDCA4\xDCE5.mid"), u"/中文.mid");
}

// The locales of the text encoding matrix (TextEncodingTest) show how the locale chooses the page.
TEST(IconvCodePage, EnvironmentOverridesTheLocale)
{
    EXPECT_EQ(CodePageForLocale("C.UTF-8"), "GBK");
    ::setenv("LINLANGOK_CODEPAGE", "BIG5", 1);
    EXPECT_EQ(CreateLegacyCodePage()->Name(), "BIG5");
    ::setenv("LINLANGOK_CODEPAGE", "NO-SUCH-ENCODING", 1);
    ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(CreateLegacyCodePage()->Name(), "CP932");
    ::unsetenv("LINLANGOK_CODEPAGE");
    ::unsetenv("LC_ALL");
}

TEST(Utf, TextIsLegacyUnlessItIsValidUtf8WithNonAsciiCharacters)
{
    const CIconvCodePage gbk("GBK");
    EXPECT_EQ(DecodeUtf8OrLegacy("\xC3\xA9 \xB8\xE8", gbk), gbk.ToWide("\xC3\xA9 \xB8\xE8"));
    EXPECT_EQ(DecodeUtf8OrLegacy("\xC3\xA9", gbk), u"\u00E9");
    EXPECT_EQ(EncodeLegacyExactly(u"歌 a", gbk), "\xB8\xE8 a");
    EXPECT_FALSE(EncodeLegacyExactly(u"\u0E01", gbk)); // not in GBK
    EXPECT_FALSE(EncodeLegacyExactly(gbk.ToWide("\xC3\xA9"), gbk)); // those bytes read as UTF-8
}

} // namespace
} // namespace linlangok
