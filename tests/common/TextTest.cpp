#include "common/Text.h"
#include "common/EditText.h"
#include "common/FilePath.h"
#include "common/SongKind.h"
#include "common/Translation.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <tuple>

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

TEST(Utf, TrimmedRemovesOnlyTheGivenCharactersAtTheEnds)
{
    EXPECT_EQ(Trimmed(u"\r\n a\r\nb \r\n", u"\r\n"), u" a\r\nb ");
    EXPECT_EQ(Trimmed(u"\r\n\r\n", u"\r\n"), u"");
    EXPECT_EQ(Trimmed(u"", u"\r\n"), u"");
}

TEST(Text, SignedNumbersAndFileNamesAsTheEditsReadThem)
{
    EXPECT_EQ(ParseSignedNumber(u"200"), 200);
    EXPECT_EQ(ParseSignedNumber(u" -12"), -12);
    EXPECT_EQ(ParseSignedNumber(u"-2147483648"), INT32_MIN);
    for (const std::u16string_view bad : {u"", u"-", u"1a", u"+3", u"2147483648", u"99999999999", u"１", u"5 "})
        EXPECT_EQ(ParseSignedNumber(bad), std::nullopt) << Utf16ToUtf8(bad);
    EXPECT_EQ(FileNamePart(u"/music/a.b/song"), u"song");
    EXPECT_EQ(FileNamePart(u"song.mid"), u"song.mid");
}

// "/music/a.b/song" has the extension "B/SONG"; a name without a dot is its own extension.
TEST(Text, TheTextAfterTheLastDotDecidesTheSongKind)
{
    using enum ESongKind;
    const std::pair<std::u16string_view, ESongKind> rows[] = {{u"/music/a.b/song", Audio}, {u"x.Mid", Midi},
        {u"x.MIDI", Midi}, {u"x.jp", Midi}, {u"x.midi ", Audio}, {u"x.KaR", Midi}, {u"mid", Midi}, {u"song", Audio}};
    for (const auto& [path, kind] : rows)
        EXPECT_EQ(DetectSongKind(path), kind) << Utf16ToUtf8(path);
    // Every reader, dialog and the catalogue know the same songs.
    EXPECT_EQ(SongFileFormat(u"/歌/x.JP"), "mid");
    EXPECT_EQ(SongFileFormat(u"/歌/晴天.VOB"), "vob");
    EXPECT_EQ(SongFileFormat(u"/歌/x.txt"), "txt");
    EXPECT_EQ(SongFileFormat(u"/歌/x.lrc"), std::nullopt);
    // A ".txt" file is a song when it starts with UltraStar headers.
    EXPECT_TRUE(LooksLikeUltraStarSong("\xEF\xBB\xBF\r\n#artist:a\n# Title :x"));
    EXPECT_FALSE(LooksLikeUltraStarSong("#ARTIST:a\nnotes\n#TITLE:x\n"));
    EXPECT_FALSE(LooksLikeUltraStarSong("# Title without colon\n#BPM:300\n"));
    EXPECT_TRUE(IsSongFileName(u"x.midi") && IsVideoFileName(u"x.m2ts") && !IsVideoFileName(u"x.zip"));
    EXPECT_NE(SongFilePatterns(u'|').find(u"*.kar|*.wav"), std::u16string::npos);
    EXPECT_TRUE(VideoFilePatterns(u';').starts_with(u"*.mpg;*.mpeg;"));
}

TEST(FilePath, AnyNameKeepsItsBytesThroughTextAndAUriAndUtf8NamesArePlainText)
{
    const std::tuple<std::string, std::u16string, std::string> cases[] = {
        {"/歌/a b.mid", u"/歌/a b.mid", "file:///%E6%AD%8C/a%20b.mid"},
        {"/m/\xD6\xD0\xCE\xC4.mid", u"/m/\xDCD6\xDCD0\xDCCE\xDCC4.mid", "file:///m/%D6%D0%CE%C4.mid"}, // GBK
        {"/a\xFF#%.mid", u"/a\xDCFF#%.mid", "file:///a%FF%23%25.mid"},
        {"/\xE4\xB8.mid", u"/\xDCE4\xDCB8.mid", "file:///%E4%B8.mid"}, // cut off
    };
    for (const auto& [bytes, text, uri] : cases) {
        EXPECT_EQ(PathToUtf16(bytes), text);
        EXPECT_EQ(Utf16ToPath(text).native(), bytes);
        EXPECT_EQ(HoldsEscapedBytes(text), !IsValidUtf8(bytes));
        EXPECT_EQ(FileUriOfPath(bytes), uri);
        EXPECT_EQ(PathOfFileUri(uri), std::filesystem::path(bytes));
    }
    EXPECT_EQ(Utf16ToPath(u"\xDC41\xD800").native(), "\xEF\xBF\xBD\xEF\xBF\xBD"); // escaping no byte
    EXPECT_EQ(PathOfFileUri("FILE://LocalHost/a%ff"), std::filesystem::path("/a\xFF"));
    for (const char* refused : {"http:///a", "file://host/a", "file:a", "file:///a?b", "file:///a%2", "file:///a%00"})
        EXPECT_EQ(PathOfFileUri(refused), std::nullopt) << refused;
}

TEST(FilePath, ANameThatQtReadAsReplacementCharactersIsFoundAmongTheFoldersEntries)
{
    const test::CTemporaryFolder folder;
    std::filesystem::create_directory(folder.Path() / "\xD6\xD0");
    const auto song = folder.WriteFile("\xD6\xD0/\xCE\xC4.mid", "");
    folder.WriteFile("x\xFE.mid", "");
    folder.WriteFile("x\xFD.mid", "");
    EXPECT_EQ(ResolveLossyPath(folder.Path() / "\uFFFD\uFFFD/\uFFFD\uFFFD.mid"), song);
    EXPECT_EQ(ResolveLossyPath(folder.Path() / "x\uFFFD.mid"), folder.Path() / "x\uFFFD.mid"); // two read so
}

// A translation may put the markers in another order; an argument that itself holds "%2" is left
// as it is, and a marker without an argument stays.
TEST(TranslationTest, FormattedFillsMarkersInOnePassAndTrFallsBackToTheSource)
{
    EXPECT_EQ(Formatted(u"“%2”里的“%1”", {u"a%2", u"b"}), u"“b”里的“a%2”");
    EXPECT_EQ(Formatted(u"100% %3", {u"x"}), u"100% %3");
    EXPECT_EQ(FormattedUtf8("“%1”无法读取: %2", {"a.zip", "%1"}), "“a.zip”无法读取: %1");
    EXPECT_EQ(Tr("Test", "错误"), u"错误");
    InstallTranslationLookup(
        [](const char*, const char* source) {
            return std::string(source) == "错误" ? std::string("Error") : std::string();
        },
        "en");
    EXPECT_EQ(Tr("Test", "错误"), u"Error");
    EXPECT_EQ(TrUtf8("Test", "警告"), "警告");
    EXPECT_EQ(CurrentLanguage(), "en");
    InstallTranslationLookup(nullptr, "en");
    EXPECT_EQ(Tr("Test", "错误"), u"错误");
    EXPECT_EQ(CurrentLanguage(), kSourceLanguage);
}

// The user's choice first, then the desktop's languages in turn; Hong Kong and Macau read Hong
// Kong's traditional Chinese, a language without a translation falls through to the next.
TEST(TranslationTest, ChosenLanguageFollowsTheChoiceThenTheDesktopsLanguages)
{
    EXPECT_EQ(ChosenLanguage("zh_TW", {"en-US"}), "zh_TW");
    EXPECT_EQ(ChosenLanguage("", {"zh-Hant-TW"}), "zh_TW");
    EXPECT_EQ(ChosenLanguage("", {"zh-Hant"}), "zh_TW");
    EXPECT_EQ(ChosenLanguage("", {"zh_MO"}), "zh_HK");
    EXPECT_EQ(ChosenLanguage("", {"zh-Hant-HK", "zh-HK"}), "zh_HK");
    EXPECT_EQ(ChosenLanguage("", {"zh-CN", "zh-Hans"}), "zh_CN");
    EXPECT_EQ(ChosenLanguage("fr", {"de-DE", "zh-SG"}), "zh_CN");
    EXPECT_EQ(ChosenLanguage("", {"de-DE", "fr"}), "en");
    EXPECT_EQ(ChosenLanguage("", {"C"}), "en");
}

} // namespace
} // namespace linlangok
