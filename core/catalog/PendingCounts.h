#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <vector>

namespace linlangok {

// The file in the program folder that keeps the plays a room has counted and the shared catalogue
// has yet to hear of.
inline constexpr std::string_view kPendingCountsFileName = "VenueCounts.txt";

// The plays counted and not yet sent, kept in a file (one song id a line) so that none is lost
// when the program ends before the server is back. Any thread.
class CPendingCounts {
public:
    // Reads what the file holds; a missing file holds none, a damaged line is skipped.
    explicit CPendingCounts(std::filesystem::path file);

    CPendingCounts(const CPendingCounts&) = delete;
    CPendingCounts& operator=(const CPendingCounts&) = delete;

    // Keeps a play of the song; false when the file could not be written (the play is kept in
    // memory still).
    bool Add(std::int64_t id);
    // The plays kept, oldest first.
    std::vector<std::int64_t> Pending() const;
    // The first count plays of Pending have been sent.
    bool Sent(size_t count);

private:
    bool Save();

    std::filesystem::path m_file;
    mutable std::mutex m_lock;
    std::vector<std::int64_t> m_ids;
};

} // namespace linlangok
