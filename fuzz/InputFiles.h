#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace linlangok {

// The fuzz input as a file reader meets it: a regular file holding the bytes, and beside it the
// special files every reader refuses at once, as a missing file: a folder, a FIFO (which no
// reader may wait on: the run would time out) and a link to /dev/zero (which never ends). In a
// temporary folder that lives as long as the object.
class CFuzzInputFiles {
public:
    CFuzzInputFiles();
    ~CFuzzInputFiles();

    CFuzzInputFiles(const CFuzzInputFiles&) = delete;
    CFuzzInputFiles& operator=(const CFuzzInputFiles&) = delete;

    // Writes the bytes to the regular file; its path.
    const std::filesystem::path& Write(const std::uint8_t* data, std::size_t size) const;
    const std::array<std::filesystem::path, 3>& SpecialFiles() const { return m_specialFiles; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_input;
    std::array<std::filesystem::path, 3> m_specialFiles;
};

} // namespace linlangok
