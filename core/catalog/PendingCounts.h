#pragma once

#include "common/FileLock.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

class ISharedCatalogStore;

// The file in the program folder that keeps the plays a room has counted and the scores it has
// made that the shared catalogue has yet to hear of.
inline constexpr std::string_view kPendingCountsFileName = "VenueCounts.txt";

// A play counted, or a score made, of a song.
struct PendingPlay {
    std::int64_t id = 0;
    std::optional<std::int32_t> score; // 0..100; none for a play
    // A play's name (hex digits), so that the server counts it once however often it is sent; empty in
    // the lines of earlier files.
    std::string play;

    bool operator==(const PendingPlay&) const = default;
};

// The plays counted and scores made not yet sent, kept in a file (a song id a line, and after a space
// the score for a score, or '#' and the play's name for a play) so that none is lost
// when the program ends before the server is back. The program, serve and the tool on one program
// folder share it: plays are added at its end under a lock held for moments, and one process at a
// time sends them from its start. Any thread.
class CPendingCounts {
public:
    // The locks outlive the counts.
    CPendingCounts(std::filesystem::path file, IFileLocks& locks);

    CPendingCounts(const CPendingCounts&) = delete;
    CPendingCounts& operator=(const CPendingCounts&) = delete;

    // Keeps a play of the song, named anew, or a score when one is given; false when the file could
    // not be read (it is left as it is) or written.
    bool Add(std::int64_t id, std::optional<std::int32_t> score = std::nullopt);
    // The plays and scores kept, oldest first; a damaged line is skipped, and a file that cannot be
    // read holds none.
    std::vector<PendingPlay> Pending() const;

private:
    friend void SendPendingCounts(CPendingCounts& pending, ISharedCatalogStore& store);
    // Nothing when the file is there but cannot be read.
    std::optional<std::vector<PendingPlay>> Read() const;
    bool Write(const std::vector<PendingPlay>& plays) const;
    std::unique_ptr<IFileLock> LockFile(const char* suffix, bool wait) const;

    std::filesystem::path m_file;
    IFileLocks& m_locks;
};

// Sends the plays and scores kept to the store, oldest first, each forgotten once sent, unless another process
// sends them now; raises the store's error, the plays not sent kept. A play whose answer was lost is
// sent again by its name, and counted once.
void SendPendingCounts(CPendingCounts& pending, ISharedCatalogStore& store);

// A new play's name: 32 random hex digits, unique among the venue's plays.
std::string NewPlayName();

} // namespace linlangok
