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

} // namespace
} // namespace linlangok
