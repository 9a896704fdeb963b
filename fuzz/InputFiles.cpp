#include "fuzz/InputFiles.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace linlangok {

CFuzzInputFiles::CFuzzInputFiles()
    : m_folder(std::filesystem::temp_directory_path() / ("fuzz-input-" + std::to_string(::getpid())))
    , m_input(m_folder / "input")
    , m_specialFiles {m_folder / "folder", m_folder / "fifo", m_folder / "zero"}
{
    std::filesystem::create_directories(m_specialFiles[0]);
    if (::mkfifo(m_specialFiles[1].c_str(), 0600) != 0)
        std::abort();
    std::filesystem::create_symlink("/dev/zero", m_specialFiles[2]);
}

CFuzzInputFiles::~CFuzzInputFiles()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

const std::filesystem::path& CFuzzInputFiles::Write(const std::uint8_t* data, std::size_t size) const
{
    std::ofstream out(m_input, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)).flush())
        std::abort();
    return m_input;
}

} // namespace linlangok
