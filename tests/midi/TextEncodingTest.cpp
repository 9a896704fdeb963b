// Song texts in every common encoding under a Chinese, a Taiwanese and an English locale, read
// from MIDI meta texts and LRC files with uchardet's detection.

#include "common/Text.h"
#include "core/lyrics/LrcParser.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "tests/midi/MidiTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace linlangok::test {
namespace {

struct SongWords {
    const char* language;
    std::string title;
    std::string subtitle;
    std::vector<std::string> syllables;
};

// One syllable per character outside ASCII, one per word otherwise.
std::vector<std::string> Syllables(std::string_view utf8)
{
    std::vector<std::string> syllables;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80 ? utf8.find(' ', i) + 1 - i : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        syllables.emplace_back(utf8.substr(i, length));
        i += length;
    }
    return syllables;
}

const SongWords kSimplified {"中文", "茉莉花", "江苏民歌",
    Syllables("好一朵茉莉花好一朵茉莉花满园花草香也香不过它我有心采一朵戴又怕看花的人儿骂")};
const SongWords kTraditional {"繁体", "茉莉花", "江蘇民歌",
    Syllables("好一朵茉莉花好一朵茉莉花滿園花草香也香不過它我有心採一朵戴又怕看花的人兒罵")};
const SongWords kJapanese {
    "日文", "さくらさくら", "日本古謡", Syllables("さくらさくらやよいの空は見わたす限りかすみか雲か匂いぞ出ずる")};
const SongWords kKorean {
    "韩文", "아리랑", "경기민요", Syllables("아리랑아리랑아라리요아리랑고개로넘어간다나를버리고가시는님은")};
const SongWords kEnglish {"英文", "Jasmine Flower", "Folk Song", Syllables("What a beau ti ful jas mine flow er")};
const SongWords kFrench {"法文", "Café de Flore", "Chanson", Syllables("Dé jà l'é té à Noël ça plaît")};
// One accented letter in all the texts: too few bytes to judge by, but a Latin letter in a word.
const SongWords kGerman {"德文", "Schön", "Volkslied", Syllables("Guten Abend gut Nacht")};
// Too short to judge but as UTF-8.
const SongWords kTitleOnly {"短标题", "稻香", "", {}};
// GBK "猫" is valid UTF-8 "è", in no ASCII word; an LRC file holding it twice passes for UTF-8.
const SongWords kChineseLikeLatin {"短标题猫", "猫", "", {}};

struct Saved {
    const SongWords& words;
    const char* encoding; // iconv's name
    const char* label;
};

const Saved kSaved[] = {
    {kSimplified, "UTF-8", "UTF-8"},
    {kSimplified, "GBK", "GBK"},
    {kTraditional, "UTF-8", "UTF-8"},
    {kTraditional, "CP950", "BIG5"},
    {kJapanese, "UTF-8", "UTF-8"},
    {kJapanese, "CP932", "Shift-JIS"},
    {kKorean, "UTF-8", "UTF-8"},
    {kKorean, "EUC-KR", "EUC-KR"},
    {kEnglish, "CP1252", "ASCII"},
    {kFrench, "CP1252", "CP1252"},
    {kGerman, "UTF-8", "UTF-8"},
    {kTitleOnly, "UTF-8", "UTF-8"},
    {kTitleOnly, "GBK", "GBK"},
    {kChineseLikeLatin, "GBK", "GBK"},
};

// A song with the title and subtitle in track 0 and one lyric event per syllable in track 1.
std::string MidiFile(const SongWords& words, const ICodePage& encoding)
{
    const auto bytes = [&](const std::string& utf8) { return encoding.FromWide(Utf8ToUtf16(utf8)); };
    std::string lyrics;
    for (const std::string& syllable : words.syllables)
        lyrics += MetaEvent(96, 5, bytes(syllable));
    return SmfHeader(1, 2, 96)
        + SmfTrack(MetaEvent(0, 3, bytes(words.title)) + MetaEvent(0, 3, bytes(words.subtitle)) + kEnd)
        + SmfTrack(lyrics + kEnd);
}

// The title tags, the title as the first timed line, then eight syllables to a timed line.
std::string LrcFile(const SongWords& words, const ICodePage& encoding, std::vector<std::u16string>& lines)
{
    std::string text = "[ti:" + words.title + "]\n[ar:" + words.subtitle + "]\n[00:01.00]" + words.title + "\n";
    lines.push_back(Utf8ToUtf16(words.title));
    for (size_t first = 0; first < words.syllables.size(); first += 8) {
        std::string line;
        for (size_t i = first; i < std::min(first + 8, words.syllables.size()); ++i)
            line += words.syllables[i];
        lines.push_back(Utf8ToUtf16(line));
        text += "[00:" + std::to_string(10 + first / 8) + ".00]" + line + "\n";
    }
    return encoding.FromWide(Utf8ToUtf16(text));
}

// Each reader gives the encoding the texts were read in, with " ✗" when a text did not come out right.
std::string ReadMidi(const SongWords& words, const ICodePage& encoding, const ICodePage& legacy)
{
    const CUchardetTextEncodings encodings(legacy);
    SongFixture fixture(legacy);
    CMidiSong& song = fixture.song;
    if (!song.Load(AsBytes(MidiFile(words, encoding)), encodings))
        return "not loaded";
    std::vector<std::string> texts {Utf16ToUtf8(song.Title()), Utf16ToUtf8(song.Subtitle())};
    const std::vector<LyricSyllable>& syllables = song.Track(1).Syllables();
    for (size_t index = song.Track(1).HeaderLines() * kSyllablesPerLine; index < syllables.size(); ++index)
        texts.push_back(Utf16ToUtf8(syllables[index].text));
    std::vector<std::string> expected {words.title, words.subtitle};
    expected.insert(expected.end(), words.syllables.begin(), words.syllables.end());
    return std::string(song.CodePage().Name()) + (texts == expected ? "" : " ✗");
}

std::string ReadLrc(const SongWords& words, const ICodePage& encoding, const ICodePage& legacy)
{
    const CUchardetTextEncodings encodings(legacy);
    std::vector<std::u16string> expected;
    const std::string bytes = LrcFile(words, encoding, expected);
    std::vector<std::u16string> texts;
    for (const LyricLine& line : ParseLrcText(bytes, legacy, 26, encodings).lines)
        texts.push_back(line.text);
    std::istringstream in(bytes);
    return std::string(LrcEncodingName(in, legacy, encodings)) + (texts == expected ? "" : " ✗");
}

TEST(TextEncodings, EverySongTextReadsRightUnderEveryLocale)
{
    const CIconvCodePage legacies[] = {CIconvCodePage(CodePageForLocale("zh_CN.UTF-8")),
        CIconvCodePage(CodePageForLocale("zh_TW.UTF-8")), CIconvCodePage(CodePageForLocale("en_US.UTF-8"))};
    std::vector<std::string> table;
    for (const Saved& saved : kSaved) {
        const CIconvCodePage encoding(saved.encoding);
        std::string midi;
        std::string lrc;
        for (const CIconvCodePage& legacy : legacies) {
            midi += " | " + ReadMidi(saved.words, encoding, legacy);
            lrc += " | " + ReadLrc(saved.words, encoding, legacy);
        }
        table.push_back(std::string(saved.words.language) + " " + saved.label + ": MIDI" + midi + " || LRC" + lrc);
    }
    // Columns: the legacy code page of zh_CN, zh_TW and en_US; a cell names the encoding the texts
    // were read in, "✗" marks texts that came out wrong.
    EXPECT_EQ(table,
        std::vector<std::string>({
            "中文 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "中文 GBK: MIDI | GBK | GB18030 | GB18030 || LRC | GBK | GB18030 | GB18030",
            "繁体 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "繁体 BIG5: MIDI | BIG5 | BIG5 | BIG5 || LRC | BIG5 | BIG5 | BIG5",
            "日文 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "日文 Shift-JIS: MIDI | CP932 | CP932 | CP932 || LRC | CP932 | CP932 | CP932",
            "韩文 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "韩文 EUC-KR: MIDI | CP949 | CP949 | CP949 || LRC | CP949 | CP949 | CP949",
            "英文 ASCII: MIDI | GBK | BIG5 | CP1252 || LRC | GBK | BIG5 | CP1252",
            // Single-byte pages other than the legacy one are never detected.
            "法文 CP1252: MIDI | GBK ✗ | BIG5 ✗ | CP1252 || LRC | GBK ✗ | BIG5 ✗ | CP1252",
            "德文 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "短标题 UTF-8: MIDI | UTF-8 | UTF-8 | UTF-8 || LRC | UTF-8 | UTF-8 | UTF-8",
            "短标题 GBK: MIDI | GBK | BIG5 ✗ | CP1252 ✗ || LRC | GBK | BIG5 ✗ | CP1252 ✗",
            "短标题猫 GBK: MIDI | GBK | BIG5 ✗ | CP1252 ✗ || LRC | UTF-8 ✗ | UTF-8 ✗ | UTF-8 ✗",
        }));
}

TEST(TextEncodings, ChoicesAndTheirNames)
{
    const CIconvCodePage gbk("GBK");
    const CIconvCodePage big5("BIG5");
    const CUchardetTextEncodings underGbk(gbk);
    const CUchardetTextEncodings underBig5(big5);
    const auto names = [](const ITextEncodings& encodings) {
        std::vector<std::string> names;
        for (const TextEncodingChoice& choice : encodings.Choices())
            names.push_back(choice.name);
        return names;
    };
    EXPECT_EQ(names(underGbk), (std::vector<std::string> {"GBK", "UTF-8", "GB18030", "BIG5", "CP932", "CP949"}));
    EXPECT_EQ(underGbk.Choices()[0].label, u"系统默认 (GBK)");
    // The legacy BIG5 stands for its family.
    EXPECT_EQ(names(underBig5), (std::vector<std::string> {"BIG5", "UTF-8", "GB18030", "CP932", "CP949"}));
    const struct {
        const ITextEncodings& encodings;
        const char* name;
        const char* found; // the converter's name, empty for none
    } cases[] = {
        {underGbk, "gbk", "GBK"},
        {underGbk, "Shift_JIS", "CP932"},
        {underGbk, "euc-kr", "CP949"},
        {underGbk, "CP950", "BIG5"},
        {underBig5, "GBK", "GB18030"},
        {underBig5, "CP950", "BIG5"},
        {underGbk, "KOI8-R", ""},
        {underGbk, "", ""},
    };
    for (const auto& test : cases) {
        const ICodePage* found = test.encodings.Find(test.name);
        EXPECT_EQ(found ? found->Name() : "", test.found) << test.name;
    }
    EXPECT_EQ(underBig5.Find("BIG5"), &big5);
}

} // namespace
} // namespace linlangok::test
