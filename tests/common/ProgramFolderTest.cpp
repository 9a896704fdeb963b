#include "common/ProgramFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace linlangok {
namespace {

TEST(ProgramFolder, EnvironmentNamesTheFolder)
{
    test::CTemporaryFolder folder;
    ::setenv("LINLANGOK_HOME", folder.Path().c_str(), 1);
    EXPECT_EQ(ProgramFolder(), folder.Path());
    ::setenv("LINLANGOK_HOME", (folder.Path() / "new" / "home").c_str(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(ProgramFolder())); // made when missing
    ::unsetenv("LINLANGOK_HOME");
    EXPECT_EQ(ProgramFolder(), ExecutableFolder()); // the build folder is writable
}

TEST(ProgramFolder, AnInstalledProgramKeepsItsFilesInTheUsersDataFolderEvenWhereItsFolderIsWritable)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path bin = folder.Path() / "usr" / "bin";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(ProgramFolderBeside(bin), bin); // unpacked in a folder of its own
    std::filesystem::create_directories(InstalledDataFolder(bin));
    ::setenv("XDG_DATA_HOME", (folder.Path() / "data").c_str(), 1);
    EXPECT_EQ(ProgramFolderBeside(bin), folder.Path() / "data" / "linlangok");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "data" / "linlangok"));
    ::unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace linlangok
