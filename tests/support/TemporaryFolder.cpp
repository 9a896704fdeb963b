#include "tests/support/TemporaryFolder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace linlangok::test {

CTemporaryFolder::CTemporaryFolder()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() / ("linlangok-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

CTemporaryFolder::~CTemporaryFolder()
{
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::filesystem::path CTemporaryFolder::WriteFile(std::string_view name, std::string_view bytes) const
{
    const auto path = m_path / std::filesystem::path(std::u8string(name.begin(), name.end()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace linlangok::test
