#include "common/Text.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

using namespace std::string_literals;

TEST(Utf, RoundTripsChineseAndSupplementaryCharacters)
{
    const std::string text = "茉莉花 \xF0\x9F\x8E\xA4 karaoke";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide.substr(0, 3), u"茉莉花");
    EXPECT_EQ(wide[4], 0xD83C); // surrogate pair of U+1F3A4
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, InvalidInputBecomesReplacementCharacters)
{
    EXPECT_EQ(Utf8ToUtf16("a\xC0\xAF"s + "b"), u"a\uFFFDb"); // overlong "/"
    EXPECT_EQ(Utf8ToUtf16("\xE8\x8C"), u"\uFFFD"); // cut off
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // encoded surrogate
    EXPECT_FALSE(IsValidUtf8("\xC4\xE3\xBA\xC3")); // GBK bytes of 你好
    EXPECT_TRUE(IsValidUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"));
}

TEST(Utf, TrimBothRemovesOnlyTheGivenCharactersAtTheEnds)
{
    EXPECT_EQ(TrimBoth(u"\r\n a\r\nb \r\n", u"\r\n"), u" a\r\nb ");
    EXPECT_EQ(TrimBoth(u"\r\n\r\n", u"\r\n"), u"");
    EXPECT_EQ(TrimBoth(u"", u"\r\n"), u"");
}

} // namespace
} // namespace linlangok
