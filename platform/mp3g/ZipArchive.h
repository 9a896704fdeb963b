#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace linlangok {

// A zip archive open for reading members into memory, through libzip. Nothing is ever written:
// members are read, not extracted. Every error raises std::runtime_error whose what() is the
// reason for the user (UTF-8). One thread at a time.
class CZipArchive {
public:
    // Opens the regular file at `path` of at most maximumBytes with at most maximumMembers
    // members. Refuses an archive any member of which would climb out of the folder it is
    // extracted to (IsSafeMemberName), so that no other program extracts it there either.
    CZipArchive(const std::filesystem::path& path, std::uint64_t maximumBytes, size_t maximumMembers);
    ~CZipArchive();

    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // The members' names as stored ('/' separates folders, a folder ends in '/'), in UTF-8.
    const std::vector<std::string>& Names() const { return m_names; }

    // The member's uncompressed bytes. Raises when they would be more than maximumBytes (by the
    // size the archive states, or by what its data really inflates to), when the member is
    // encrypted or compressed by a method libzip lacks, or when its data is damaged.
    std::string Read(size_t member, std::uint64_t maximumBytes) const;

private:
    void* m_archive = nullptr; // zip_t*
    std::vector<std::string> m_names;
};

} // namespace linlangok
