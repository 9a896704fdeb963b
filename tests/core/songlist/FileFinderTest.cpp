#include "core/songlist/FileFinder.h"
#include "common/Text.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace linlangok {
namespace {

struct Seen {
    std::string name;
    bool folder;
    bool operator==(const Seen&) const = default;
    bool operator<(const Seen& other) const { return name < other.name; }
};

class FileFinder : public ::testing::Test {
protected:
    // Every entry the calling pattern reads, folders included, in listing order.
    std::vector<Seen> Read(std::u16string_view include, std::u16string_view exclude = u"")
    {
        std::vector<Seen> seen;
        CFileFinder finder(m_prompts);
        if (finder.Start(m_folder.Path(), include, exclude)) {
            bool more;
            do {
                more = finder.Next();
                seen.push_back({finder.FileName().string(), finder.IsFolder()});
                EXPECT_EQ(finder.FullPath(), m_folder.Path() / finder.FileName());
            } while (more);
        }
        return seen;
    }

    // The names of the files (not folders) read, sorted: the listing order is the file system's.
    std::vector<std::string> Files(std::u16string_view include, std::u16string_view exclude = u"")
    {
        std::vector<std::string> names;
        for (const auto& entry : Read(include, exclude)) {
            if (!entry.folder)
                names.push_back(entry.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::CTemporaryFolder m_folder;
    test::CScriptedUserPrompts m_prompts;
};

TEST_F(FileFinder, TheCallerReadsDotDotAndEveryMatchingFileAndFolderInListingOrder)
{
    m_folder.WriteFile("a.MID", "");
    m_folder.WriteFile("b.txt", "");
    std::filesystem::create_directory(m_folder.Path() / "sub");
    m_folder.WriteFile("sub/c.mid", "");
    m_folder.WriteFile("d.wav", "");
    auto seen = Read(u"*.mid|*.mp3|*.wav");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), (Seen {"..", true}));
    std::sort(seen.begin() + 1, seen.end());
    EXPECT_EQ(seen, (std::vector<Seen> {{"..", true}, {"a.MID", false}, {"d.wav", false}, {"sub", true}}));

    // A slice at a time: one accepted entry per step, the same files.
    CFolderListing listing(m_folder.Path(), u"*.mid|*.mp3|*.wav", m_prompts);
    int steps = 1;
    while (listing.Step(1))
        ++steps;
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(listing.EntriesExamined(), listing.EntryCount());
    std::vector<std::string> files;
    for (const auto& file : listing.TakeFiles())
        files.push_back(file.name.string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> {"a.MID", "d.wav"}));
}

TEST_F(FileFinder, WholeNamesMatchWithoutRegardToCaseAndWildcardsMatchLineBreaks)
{
    for (const char* name :
        {".mid", "a.midi", "Song.Mid", "x.mid.txt", "歌.mid", "ab.mid", "🎤.mid", "\r.mid", "a\nb.mid"})
        m_folder.WriteFile(name, "");
    EXPECT_EQ(Files(u"*.MID"),
        (std::vector<std::string> {"\r.mid", ".mid", "Song.Mid", "a\nb.mid", "ab.mid", "歌.mid", "🎤.mid"}));
    EXPECT_EQ(Files(u"?.mid"), (std::vector<std::string> {"\r.mid", "歌.mid", "🎤.mid"}));
}

TEST_F(FileFinder, PatternListsEndAtTheFirstEmptyPieceAndExcludesReject)
{
    for (const char* name : {"a.txt", "b.mid", "b.txt", "c.wav"})
        m_folder.WriteFile(name, "");
    EXPECT_EQ(Files(u"*.txt||*.mid"), (std::vector<std::string> {"a.txt", "b.txt"}));
    EXPECT_EQ(Files(u"*", u"b*|*.wav"), (std::vector<std::string> {"a.txt"}));
    EXPECT_EQ(Files(u"", u"*.txt"), (std::vector<std::string> {"b.mid", "c.wav"}));
    EXPECT_EQ(Files(u"|*.mid").size(), 4u); // no include pattern: everything
    EXPECT_EQ(Files(u" *.mid"), std::vector<std::string>()); // blanks are not trimmed
}

TEST_F(FileFinder, NothingToListGivesNoEntries)
{
    CFileFinder finder(m_prompts);
    EXPECT_FALSE(finder.Start({}, u"*.mid", u""));
    EXPECT_FALSE(finder.Start(m_folder.Path() / "missing", u"*.mid", u""));
    EXPECT_FALSE(finder.Start(m_folder.WriteFile("a.mid", ""), u"*.mid", u""));
    EXPECT_FALSE(finder.Start(m_folder.Path(), u"", u""));
    EXPECT_TRUE(finder.FileName().empty());
    EXPECT_FALSE(finder.IsFolder());
    // An empty folder gives only "..".
    EXPECT_EQ(Read(u"*.lrc"), (std::vector<Seen> {{"..", true}}));
    EXPECT_TRUE(ListFolderFiles(m_folder.Path(), u"*.lrc", m_prompts).empty());
}

TEST_F(FileFinder, APatternThatDoesNotCompileIsReportedForEveryEntryAndNeverMatches)
{
    m_folder.WriteFile("a.mid", "");
    m_folder.WriteFile("b.mid", "");
    EXPECT_EQ(Files(u"[*|*.mid"), (std::vector<std::string> {"a.mid", "b.mid"}));
    ASSERT_EQ(m_prompts.m_messages.size(), 2u);
    EXPECT_EQ(m_prompts.m_messages[0].text, u"Error on regex ^[.*?$:Bracket expected");
}

} // namespace
} // namespace linlangok
