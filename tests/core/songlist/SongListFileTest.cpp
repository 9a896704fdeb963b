#include "core/songlist/SongListFile.h"
#include "common/FileSaver.h"
#include "common/Text.h"
#include "core/songlist/SongListPresenter.h"
#include "core/songlist/SongListStore.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/collation/IcuCollator.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace linlangok {
namespace {

using namespace std::string_literals;

const CIconvCodePage gbk("GBK");
const CPathDisplay gbkNames(gbk, NoEncodingDetection());

std::string Le(std::int32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i) & 0xFF));
    return bytes;
}

// A string field: its length, then the text padded with zeros to that length.
std::string Field(std::string_view text, std::int32_t length)
{
    std::string bytes = Le(length) + std::string(text);
    bytes.resize(4 + static_cast<std::size_t>(length), '\0');
    return bytes;
}

TEST(SongListFile, TextIsInTheLegacyCodePageOrInUtf8WhenAStringDoesNotFitIt)
{
    // A character the code page lacks makes the whole list UTF-8 rather than a "?".
    const CIconvCodePage cp1252("CP1252");
    const struct {
        const ICodePage& codePage;
        SongList list;
        std::string field;
    } cases[] = {
        {gbk, {0, u"listname", {{0, u"茉莉花.mid", u"/歌/茉莉花.mid"}}}, Field("\xDC\xD4\xC0\xF2\xBB\xA8.mid", 16)},
        {cp1252, {0, u"listname", {{0, u"茉莉花.mid", u"/home/u/音乐/茉莉花.mid"}, {0, u"a.mid", u"/a.mid"}}},
            Field("茉莉花.mid", 16)},
        {gbk, {0, u"listname", {{0, u"ก.mid", u"/歌/ก.mid"}}}, Field("/歌/ก.mid", 18)},
        {gbk, {0, u"listname", {{0, u"中文.mid", u"/m/\xDCD6\xDCD0\xDCCE\xDCC4.mid"}}},
            Field("file:///m/%D6%D0%CE%C4.mid", 27)},
        {gbk, {0, u"listname", {{0, u"a\uFFFD.mid", u"/a\xDCFF.mid"}}}, Field("file:///a%FF.mid", 17)},
    };
    for (const auto& [codePage, list, field] : cases) {
        const std::string bytes = SerializeSongList(list, codePage);
        EXPECT_NE(bytes.find(field), std::string::npos) << codePage.Name();
        EXPECT_NE(bytes.find(Field("listname", 18)), std::string::npos) << codePage.Name();
        SongList read;
        EXPECT_EQ(ParseSongList(bytes, codePage, read), ESongListRead::Complete);
        EXPECT_EQ(read, list) << codePage.Name();
    }
}

TEST(SongListFile, FieldsAreReadUpToTheirFirstZeroByte)
{
    // Another writer's lengths and filler; a field without a zero byte is read whole.
    const std::string bytes = "KPOK"s + Le(6) + "ab\0xyz"s + Le(7) + Le(2) + Le(3) + "a.m" + Le(8) + "/x/a.m\0\xFF"s
        + Le(0) + Le(0) + Le(0) + Le(1);
    SongList read;
    EXPECT_EQ(ParseSongList(bytes, gbk, read), ESongListRead::Complete);
    EXPECT_EQ(read, (SongList {7, u"ab", {{0, u"a.m", u"/x/a.m"}, {1, u"", u""}}}));
}

TEST(SongListFile, AFileThatEndsEarlyOrHasABadLengthKeepsTheWholeRecordsBefore)
{
    const SongList two {0, u"n", {{0, u"a", u"/a"}, {0, u"b", u"/b"}}};
    const std::string bytes = SerializeSongList(two, gbk);
    const std::size_t secondRecord = bytes.find(Field("b", 4));
    for (std::size_t cut : {secondRecord, secondRecord + 6, bytes.size() - 1}) {
        SongList read;
        EXPECT_EQ(ParseSongList(bytes.substr(0, cut), gbk, read), ESongListRead::Truncated) << cut;
        EXPECT_EQ(read, (SongList {0, u"n", {{0, u"a", u"/a"}}})) << cut;
    }
    for (std::int32_t badLength : {-1, 5, 0x7FFFFFFF}) {
        std::string corrupt = bytes;
        corrupt.replace(secondRecord, 4, Le(badLength));
        SongList read;
        EXPECT_EQ(ParseSongList(corrupt, gbk, read), ESongListRead::Truncated) << badLength;
        EXPECT_EQ(read.songs.size(), 1u);
    }
    SongList read;
    EXPECT_EQ(ParseSongList("KPOK"s + Le(0) + Le(0) + Le(0x7FFFFFFF), gbk, read), ESongListRead::Truncated);
    EXPECT_TRUE(read.songs.empty());
    EXPECT_EQ(ParseSongList("KPOK"s + Le(0) + Le(0) + Le(-5), gbk, read), ESongListRead::Complete);
    EXPECT_EQ(ParseSongList("KPOK", gbk, read), ESongListRead::Truncated);
}

TEST(SongListFile, AnotherKindOfFileIsRejectedWithAMessageAndChangesNothing)
{
    test::CTemporaryFolder folder;
    test::CScriptedUserPrompts prompts;
    SongList list {0, u"kept", {{0, u"a", u"/a"}}};
    EXPECT_FALSE(LoadList(folder.WriteFile("x.kpl", "MThd\0\0\0\6"s), gbk, list, prompts));
    EXPECT_FALSE(LoadList(folder.WriteFile("short.kpl", "KP"), gbk, list, prompts));
    EXPECT_EQ(list, (SongList {0, u"kept", {{0, u"a", u"/a"}}}));
    ASSERT_EQ(prompts.m_messages.size(), 2u);
    EXPECT_EQ(prompts.m_messages[0].text, u"文件类型不正确!");

    EXPECT_FALSE(LoadList(folder.Path() / "missing.kpl", gbk, list, prompts));
    EXPECT_EQ(prompts.m_messages.size(), 2u);
    EXPECT_EQ(list.storedName, u"kept");
}

TEST(SongListFile, Corpus)
{
    // valid-*: complete, and written back byte for byte (valid-empty and valid-one-song as this
    // writer lays them out); truncated-*: what was read stands; invalid-*: not a song list.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LINLANGOK_CORPUS_DIR "/kpl")) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = test::ReadWholeFile(entry.path());
        SongList list;
        const ESongListRead result = ParseSongList(bytes, gbk, list);
        if (name.starts_with("valid-")) {
            EXPECT_EQ(result, ESongListRead::Complete) << name;
            EXPECT_EQ(SerializeSongList(list, gbk), bytes) << name;
        } else {
            EXPECT_EQ(result, name.starts_with("truncated-") ? ESongListRead::Truncated : ESongListRead::WrongType)
                << name;
        }
        ++files;
    }
    EXPECT_GE(files, 8);
}

class SongListStore : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return m_home.Path() / "PlayList"; }

    void WriteList(const std::string& name, const SongList& list) { ASSERT_TRUE(SaveList(Folder() / name, list, gbk)); }

    std::vector<std::u16string> ListNames() const
    {
        std::vector<std::u16string> names;
        for (const auto& list : m_store.Lists())
            names.push_back(list.displayName);
        return names;
    }

    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
    const CIcuCollator m_collator;
    CSongListStore m_store {m_prompts, gbk, gbkNames, m_collator, PlayListFolder(m_home.Path())};
};

TEST_F(SongListStore, TheFolderIsCreatedAndItsListFilesAreTheIndex)
{
    ASSERT_TRUE(std::filesystem::is_directory(Folder()));
    WriteList("x.kpl.kpl", {});
    WriteList("Rock.KPL", {});
    WriteList("notes.txt", {});
    std::filesystem::create_directory(Folder() / "sub.kpl");
    m_store.EnumerateLists();
    EXPECT_EQ(ListNames(), (std::vector<std::u16string> {u"Rock", u"x.kpl"}));
    EXPECT_EQ(m_store.SelectedIndex(), -1);
}

// Numbers by their value, Latin letters without regard to case, then Chinese by pinyin.
TEST_F(SongListStore, ListsAndAFoldersSongsComeInReadingOrder)
{
    std::vector<FoundFile> files;
    for (const std::u16string name : {u"流行", u"b", u"老歌", u"A", u"10 首", u"9 首", u"啊", u"a"}) {
        WriteList(Utf16ToUtf8(name) + ".kpl", {});
        files.push_back({Utf16ToPath(name), Utf16ToPath(u"/m/" + name)});
    }
    const std::vector<std::u16string> ordered {u"9 首", u"10 首", u"a", u"A", u"b", u"啊", u"老歌", u"流行"};
    m_store.EnumerateLists();
    EXPECT_EQ(ListNames(), ordered);
    ASSERT_TRUE(m_store.SelectList(0));
    m_store.AddFolderSongs(files);
    EXPECT_EQ(m_store.SongNames(), ordered);
}

TEST_F(SongListStore, SelectingLoadsTheListAndAnUnreadableListKeepsThePreviousOne)
{
    WriteList("a.kpl", {0, {}, {{0, u"one.mid", u"/m/one.mid"}}});
    ASSERT_TRUE(SaveFile(Folder() / "b.kpl", "not a list"));
    m_store.EnumerateLists();
    const int a = m_store.Lists()[0].displayName == u"a" ? 0 : 1;
    ASSERT_TRUE(m_store.SelectList(a));
    EXPECT_EQ(m_store.SongNames(), (std::vector<std::u16string> {u"one.mid"}));
    EXPECT_FALSE(m_store.SelectList(1 - a));
    EXPECT_EQ(m_prompts.MessageTexts(), (std::vector<std::string> {"文件类型不正确!"}));
    EXPECT_EQ(m_store.SelectedIndex(), a);
    EXPECT_EQ(m_store.SongNames(), (std::vector<std::u16string> {u"one.mid"}));
    EXPECT_FALSE(m_store.SelectList(2));
    EXPECT_EQ(m_store.SelectedIndex(), a);
}

// Adding, removing and clearing through the window are checked with the window.
TEST_F(SongListStore, AnEmptyPathAndRowsOutOfRangeChangeNothingAndASongMayComeTwice)
{
    ASSERT_TRUE(m_store.CreateList(u"mine"));
    EXPECT_FALSE(m_store.AddSong(u""));
    EXPECT_TRUE(m_store.AddSong(u"/m/a.mid"));
    EXPECT_TRUE(m_store.AddSong(u"/m/a.mid"));
    m_store.RemoveSong(2);
    m_store.RemoveSong(-1);
    ASSERT_TRUE(m_store.SaveOpenList());
    SongList read;
    ASSERT_TRUE(LoadList(Folder() / "mine.kpl", gbk, read, m_prompts));
    EXPECT_EQ(read, (SongList {0, {}, std::vector(2, SongRecord {0, u"a.mid", u"/m/a.mid"})}));
}

TEST_F(SongListStore, AListThatCannotBeWrittenIsReported)
{
    ASSERT_TRUE(m_store.CreateList(u"mine"));
    std::filesystem::remove_all(Folder());
    EXPECT_FALSE(m_store.CreateList(u"other"));
    EXPECT_TRUE(m_store.AddSong(u"/m/a.mid"));
    EXPECT_FALSE(m_store.SaveOpenList());
    EXPECT_EQ(
        m_prompts.MessageTexts(), (std::vector<std::string> {"无法保存歌曲列表“other”。", "无法保存歌曲列表“mine”。"}));
}

TEST_F(SongListStore, NamesThatCouldLeaveTheFolderOrReplaceAListAreRefused)
{
    for (const std::u16string& name :
        std::vector<std::u16string> {u"../escape", u"a/b", u"a\\b", u"..", u".", u"", std::u16string(u"a\0b", 3)}) {
        EXPECT_FALSE(m_store.CreateList(name));
        EXPECT_EQ(
            m_prompts.m_messages.back().text, u"歌曲列表名不能为空，不能是“.”或“..”，也不能包含“/”、“\\”或空字符。");
    }
    EXPECT_EQ(m_prompts.MessageTexts().back(), "歌曲列表名不能为空，不能是“.”或“..”，也不能包含“/”、“\\”或空字符。");
    for (const std::u16string name : {u"等你...", u"Vol..2", u"..a"}) {
        ASSERT_TRUE(m_store.CreateList(name));
        EXPECT_TRUE(std::filesystem::exists(m_store.ListFilePath(name)));
    }
    EXPECT_THROW(m_store.ListFilePath(u"../x"), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(m_home.Path() / "escape.kpl"));

    WriteList("taken.kpl", {0, {}, {{0, u"a", u"/a"}}});
    EXPECT_FALSE(m_store.CreateList(u"taken"));
    EXPECT_EQ(m_prompts.MessageTexts().back(), "歌曲列表“taken”已存在。");
    SongList read;
    ASSERT_TRUE(LoadList(Folder() / "taken.kpl", gbk, read, m_prompts));
    EXPECT_EQ(read.songs.size(), 1u);
}

struct CRecordingPlayer final : ISongListPlayer {
    void PickSong(const std::u16string& path) override { calls.push_back(u"pick " + path); }
    void PlaySongNow(const std::u16string& path) override { calls.push_back(u"play " + path); }
    std::vector<std::u16string> calls;
};

// The current song is the presenter's: picks and plays hand it to the player, media keys move from
// it, and removing it makes the first song current without picking it. The commands on the list
// wait while a folder is added and while no list is selected.
TEST_F(SongListStore, ThePresenterKeepsTheCurrentSongAndTheEnableRules)
{
    CRecordingPlayer player;
    CSongListPresenter presenter(m_prompts, gbk, gbkNames, m_collator, m_home.Path(), player, "/missing.mid");
    ASSERT_EQ(presenter.Store().Lists().size(), 1u);
    EXPECT_EQ(presenter.Store().Lists()[0].displayName, u"默认列表");
    ASSERT_TRUE(presenter.AddSongs({"/m/a.mid", "/m/b.mid", "/m/c.mid"}));
    EXPECT_EQ(presenter.CurrentSong(), -1);
    EXPECT_FALSE(presenter.HasNeighbour(-1));
    presenter.PlayNeighbour(+1);
    presenter.PickSong(2);
    EXPECT_FALSE(presenter.HasNeighbour(+1));
    presenter.PlayNeighbour(-1);
    presenter.RemoveCurrentSong();
    EXPECT_EQ(presenter.CurrentSong(), 0);
    EXPECT_EQ(player.calls, (std::vector<std::u16string> {u"play /m/a.mid", u"pick /m/c.mid", u"play /m/b.mid"}));

    std::filesystem::create_directory(m_home.Path() / "songs");
    m_home.WriteFile("songs/x.kar", "");
    presenter.StartAddingFolder(m_home.Path() / "songs");
    EXPECT_EQ(presenter.Enables(), (SongListEnables {false, false}));
    while (presenter.ContinueAddingFolder()) { }
    EXPECT_EQ(presenter.Enables(), (SongListEnables {true, true}));
    EXPECT_EQ(presenter.Store().SongNames(), (std::vector<std::u16string> {u"a.mid", u"c.mid", u"x.kar"}));
    EXPECT_EQ(presenter.CurrentSong(), -1);
    ASSERT_TRUE(presenter.CreateList(u"b"));
    EXPECT_FALSE(presenter.RenameList(u"默认列表")); // taken: no list is selected
    EXPECT_EQ(presenter.Enables(), (SongListEnables {true, false}));
}

} // namespace
} // namespace linlangok
