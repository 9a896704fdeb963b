#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace linlangok::test {

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class CTemporaryFolder {
public:
    CTemporaryFolder();
    ~CTemporaryFolder();

    CTemporaryFolder(const CTemporaryFolder&) = delete;
    CTemporaryFolder& operator=(const CTemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    // Writes bytes to a file in the folder and returns its path.
    std::filesystem::path WriteFile(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

// The whole content of a file (empty when it cannot be read).
std::string ReadWholeFile(const std::filesystem::path& path);

} // namespace linlangok::test
