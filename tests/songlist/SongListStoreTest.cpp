#include "songlist/SongListStore.h"
#include "common/FileSaver.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace linlangok {
namespace {

class SongListStore : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return m_home.Path() / "PlayList"; }

    void WriteList(const std::string& name, const SongList& list)
    {
        ASSERT_TRUE(SaveList(Folder() / name, list, m_gbk));
    }

    std::vector<std::u16string> SortedListNames() const
    {
        std::vector<std::u16string> names;
        for (const auto& list : m_store.Lists())
            names.push_back(list.displayName);
        std::sort(names.begin(), names.end());
        return names;
    }

    const CIconvCodePage m_gbk {"GBK"};
    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
    CSongListStore m_store {m_prompts, m_gbk, PlayListFolder(m_home.Path())};
};

TEST_F(SongListStore, TheFolderIsCreatedAndItsListFilesAreTheIndex)
{
    ASSERT_TRUE(std::filesystem::is_directory(Folder()));
    WriteList("x.kpl.kpl", {});
    WriteList("Rock.KPL", {});
    WriteList("notes.txt", {});
    std::filesystem::create_directory(Folder() / "sub.kpl");
    m_store.EnumerateLists();
    EXPECT_EQ(SortedListNames(), (std::vector<std::u16string> {u"Rock", u"x.kpl"}));
    EXPECT_EQ(m_store.SelectedIndex(), -1);
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

TEST_F(SongListStore, SongsAreAddedRemovedAndSaved)
{
    ASSERT_TRUE(m_store.CreateList(u"mine"));
    EXPECT_FALSE(m_store.AddSong(u""));
    EXPECT_TRUE(m_store.AddSong(u"/m/a.mid"));
    EXPECT_TRUE(m_store.AddSong(u"/m/a.mid"));
    EXPECT_TRUE(m_store.AddSong(u"/m/b.wav"));
    m_store.RemoveSong(5);
    m_store.RemoveSong(-1);
    m_store.RemoveSong(0);
    ASSERT_TRUE(m_store.SaveOpenList());
    SongList read;
    ASSERT_TRUE(LoadList(Folder() / "mine.kpl", m_gbk, read, m_prompts));
    EXPECT_EQ(read, (SongList {0, {}, {{0, u"a.mid", u"/m/a.mid"}, {0, u"b.wav", u"/m/b.wav"}}}));
    m_store.ClearSongs();
    EXPECT_TRUE(m_store.SongNames().empty());
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
        EXPECT_EQ(m_prompts.m_messages.back().text, kInvalidListNameMessage);
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
    ASSERT_TRUE(LoadList(Folder() / "taken.kpl", m_gbk, read, m_prompts));
    EXPECT_EQ(read.songs.size(), 1u);
}

TEST_F(SongListStore, ANewListIsSelectedAndRenameNeverMovesItOntoAnotherList)
{
    WriteList("other.kpl", {0, {}, {{0, u"o", u"/o"}}});
    ASSERT_TRUE(m_store.CreateList(u"新歌"));
    EXPECT_EQ(std::filesystem::file_size(Folder() / u8"新歌.kpl"), 16u);
    EXPECT_EQ(m_store.Lists()[m_store.SelectedIndex()].displayName, u"新歌");
    ASSERT_TRUE(m_store.RenameList(u"new"));
    EXPECT_EQ(SortedListNames(), (std::vector<std::u16string> {u"new", u"other"}));
    EXPECT_EQ(m_store.Lists()[m_store.SelectedIndex()].displayName, u"new");

    EXPECT_FALSE(m_store.RenameList(u"other"));
    EXPECT_EQ(SortedListNames(), (std::vector<std::u16string> {u"new", u"other"}));
    EXPECT_EQ(m_store.SelectedIndex(), -1);
    EXPECT_FALSE(m_store.SaveOpenList()); // nothing selected, nothing overwritten
    SongList read;
    ASSERT_TRUE(LoadList(Folder() / "other.kpl", m_gbk, read, m_prompts));
    EXPECT_EQ(read.songs.size(), 1u);
}

TEST_F(SongListStore, TheOnlyListCannotBeDeletedAndDeletingTheLastSelectsTheFirst)
{
    ASSERT_TRUE(m_store.CreateList(u"only"));
    EXPECT_FALSE(m_store.DeleteSelectedList());
    EXPECT_TRUE(std::filesystem::exists(Folder() / "only.kpl"));

    ASSERT_TRUE(m_store.CreateList(u"second"));
    const int last = static_cast<int>(m_store.Lists().size()) - 1;
    const std::u16string lastName = m_store.Lists()[last].displayName;
    ASSERT_TRUE(m_store.SelectList(last));
    ASSERT_TRUE(m_store.DeleteSelectedList());
    EXPECT_EQ(m_store.Lists().size(), 1u);
    EXPECT_EQ(m_store.SelectedIndex(), 0);
    EXPECT_NE(m_store.Lists()[0].displayName, lastName);
}

} // namespace
} // namespace linlangok
