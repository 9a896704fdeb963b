#include "common/AtomicFile.h"

#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace linlangok {
namespace {

// A name in the target's folder that no other writer picks: the target's name, ".tmp" and a
// random number. It never matches the "*.kpl" or "*.ini" patterns the folders are listed with.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& path)
{
    static std::random_device random;
    auto name = path.filename();
    name += ".tmp" + std::to_string(random());
    return path.parent_path() / name;
}

bool WriteAll(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    try {
        const auto temporary = TemporaryPathBeside(path);
        std::error_code error;
        if (WriteAll(temporary, bytes)) {
            std::filesystem::rename(temporary, path, error);
            if (!error)
                return true;
        }
        std::filesystem::remove(temporary, error);
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace linlangok
