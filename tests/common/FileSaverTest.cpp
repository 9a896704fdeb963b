#include "common/FileSaver.h"
#include "tests/support/FileAccess.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linlangok::test {
namespace {

using Names = std::vector<std::string>;

// The names in a folder, sorted.
Names Listing(const std::filesystem::path& folder)
{
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat Status(const std::filesystem::path& path)
{
    struct stat status { };
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

TEST(FileSaver, AReplacedFileKeepsItsModeAndOwner)
{
    CTemporaryFolder folder;
    const auto target = folder.WriteFile("a.ini", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    const bool root = ::geteuid() == 0; // only root may leave a file to another user
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(SaveFile(target, "new"));
    EXPECT_EQ(ReadWholeFile(target), "new");
    const struct stat status = Status(target);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(status.st_uid, 65534u);
        EXPECT_EQ(status.st_gid, 65534u);
    }
    EXPECT_EQ(Listing(folder.Path()), Names {"a.ini"});
}

TEST(FileSaver, SymbolicLinksAreFollowedAndStayLinks)
{
    CTemporaryFolder folder;
    std::filesystem::create_directory(folder.Path() / "real");
    folder.WriteFile("real/a.kpl", "old");
    std::filesystem::create_symlink("real/a.kpl", folder.Path() / "relative.kpl");
    std::filesystem::create_symlink("relative.kpl", folder.Path() / "chain.kpl");
    std::filesystem::create_symlink(folder.Path() / "real" / "new.kpl", folder.Path() / "dangling.kpl");
    std::filesystem::create_symlink("loop.kpl", folder.Path() / "loop.kpl");
    struct Case {
        const char* link;
        const char* file; // in real/; none: the save fails
    };
    const Case cases[] = {
        {"relative.kpl", "a.kpl"},
        {"chain.kpl", "a.kpl"},
        {"dangling.kpl", "new.kpl"},
        {"loop.kpl", nullptr},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.link);
        const auto link = folder.Path() / row.link;
        const auto target = std::filesystem::read_symlink(link);
        EXPECT_EQ(SaveFile(link, row.link), row.file != nullptr);
        EXPECT_EQ(std::filesystem::read_symlink(link), target);
        if (row.file) {
            EXPECT_EQ(ReadWholeFile(folder.Path() / "real" / row.file), row.link);
        }
    }
    EXPECT_EQ(Listing(folder.Path() / "real"), (Names {"a.kpl", "new.kpl"}));
    EXPECT_EQ(Listing(folder.Path()), (Names {"chain.kpl", "dangling.kpl", "loop.kpl", "real", "relative.kpl"}));
}

TEST(FileSaver, WithoutWriteAccessOnlyTheFileItselfIsRewritten)
{
    CTemporaryFolder folder;
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    CUnprivilegedScope unprivileged;
    if (!unprivileged.Failure().empty())
        GTEST_SKIP() << unprivileged.Failure();

    // A file that may not be written is never replaced, even where the folder allows it.
    const auto readOnly = folder.WriteFile("read-only.mid", "old");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    EXPECT_FALSE(SaveFile(readOnly, "new"));
    EXPECT_EQ(ReadWholeFile(readOnly), "old");

    // In a folder that may not be written, a writable file is rewritten in place, longer or
    // shorter than before; a new file cannot be made.
    const auto closed = folder.Path() / "closed";
    std::filesystem::create_directory(closed);
    const auto file = closed / "OKSetting.ini";
    ASSERT_TRUE(SaveFile(file, "old"));
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    const ino_t inode = Status(file).st_ino;
    const std::string longer(200000, 'x');
    EXPECT_TRUE(SaveFile(file, longer));
    EXPECT_TRUE(ReadWholeFile(file) == longer); // not printed when it fails
    EXPECT_TRUE(SaveFile(file, "short"));
    EXPECT_EQ(ReadWholeFile(file), "short");
    EXPECT_EQ(Status(file).st_ino, inode);
    EXPECT_FALSE(SaveFile(closed / "new.ini", "new"));
    EXPECT_EQ(Listing(closed), Names {"OKSetting.ini"});
    EXPECT_EQ(Listing(folder.Path()), (Names {"closed", "read-only.mid"}));
    ::chmod(closed.c_str(), 0755);
}

// Only the temporary files of killed savers go: not one a saver holds (here through an open file
// description of its own, as another process would), nor one written in the last minute.
TEST(FileSaver, DeadPartFilesGoWhenTheFolderIsNextWritten)
{
    CTemporaryFolder folder;
    // Kept: not a saver's name, written in the last minute, held.
    for (const char* name : {".a.ini.ABCDEFGH.part", "a.ini.nodot123.part", ".a.ini.fresh123.part",
             ".a.ini.held1234.part", ".a.ini.dead1234.part"}) {
        folder.WriteFile(name, "x");
        if (std::string_view(name) != ".a.ini.fresh123.part")
            std::filesystem::last_write_time(
                folder.Path() / name, std::chrono::file_clock::now() - std::chrono::hours(1));
    }
    const int held = ::open((folder.Path() / ".a.ini.held1234.part").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_TRUE(SaveFile(folder.Path() / "b.ini", "b"));
    ::close(held);
    EXPECT_EQ(Listing(folder.Path()),
        (Names {
            ".a.ini.ABCDEFGH.part", ".a.ini.fresh123.part", ".a.ini.held1234.part", "a.ini.nodot123.part", "b.ini"}));
}

TEST(FileSaver, AnUnfinishedSaveLeavesTheTargetAsItWas)
{
    CTemporaryFolder folder;
    const auto target = folder.WriteFile("take.mp3", "old");
    {
        CFileSaver saver(target);
        ASSERT_TRUE(saver.IsOpen());
        EXPECT_TRUE(saver.Write("new"));
    } // destroyed without Commit
    {
        CFileSizeLimit limit(100); // the disk fills
        CFileSaver saver(target);
        EXPECT_TRUE(saver.Write(std::string(60, 'x')));
        EXPECT_FALSE(saver.Write(std::string(60, 'x')));
        EXPECT_FALSE(saver.Commit());
    }
    EXPECT_FALSE(CFileSaver(folder.Path()).IsOpen()); // a folder is no file
    EXPECT_FALSE(SaveFile(folder.Path() / "missing" / "take.mp3", "new"));
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(Listing(folder.Path()), Names {"take.mp3"});

    CFileSaver saver(target);
    EXPECT_TRUE(saver.Write("n") && saver.Write("ew"));
    EXPECT_TRUE(saver.Commit());
    EXPECT_FALSE(saver.Commit());
    EXPECT_EQ(ReadWholeFile(target), "new");
}

} // namespace
} // namespace linlangok::test
