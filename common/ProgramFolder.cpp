#include "common/ProgramFolder.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace linlangok {
namespace {

bool IsWritableFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path UserDataFolder()
{
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome)
        return std::filesystem::path(dataHome) / "linlangok";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "linlangok";
    return std::filesystem::temp_directory_path() / "linlangok";
}

} // namespace

std::filesystem::path ExecutableFolder()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : executable.parent_path();
}

std::filesystem::path InstalledDataFolder(const std::filesystem::path& executableFolder)
{
    return executableFolder.parent_path() / "share" / "linlangok";
}

namespace {

std::filesystem::path Created(std::filesystem::path folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

} // namespace

std::filesystem::path ProgramFolderBeside(const std::filesystem::path& executableFolder)
{
    std::error_code error;
    if (IsWritableFolder(executableFolder) && !std::filesystem::is_directory(InstalledDataFolder(executableFolder), error))
        return executableFolder;
    return Created(UserDataFolder());
}

std::filesystem::path ProgramFolder()
{
    if (const char* home = std::getenv("LINLANGOK_HOME"); home && *home)
        return Created(home);
    return ProgramFolderBeside(ExecutableFolder());
}

} // namespace linlangok
