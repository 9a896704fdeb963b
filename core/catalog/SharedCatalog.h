#pragma once

#include "core/catalog/CatalogStore.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace linlangok {

// What changed in a shared catalogue after a revision: the songs added or changed then (with their
// counts as stored now) and the ids removed.
struct CatalogDelta {
    std::int64_t revision = 0; // the revision the delta brings one to
    std::vector<CatalogSong> songs;
    std::vector<std::int64_t> removed;
};

// A song's times sung and best score as the shared catalogue keeps them, for every room.
struct SongCount {
    std::int64_t id = 0;
    std::int32_t timesSung = 0;
    std::int32_t bestScore = 0;

    bool operator==(const SongCount&) const = default;
};

// What other connections told while one waited.
struct CatalogNotices {
    bool songsChanged = false; // a scan changed songs: ask ChangesSince
    std::vector<SongCount> counts; // plays counted and scores kept, with the totals they brought
};

// A catalogue that several rooms share on a server. Every change of songs gets a revision, in the
// order the changes were made, and notifies every connection that listens; so does every play
// counted. Calls are bounded in time and raise std::runtime_error with a message for the user when
// the server is away. One thread at a time.
class ISharedCatalogStore : public ICatalogStore {
public:
    // Starts telling this connection of the changes others make.
    virtual void Listen() = 0;
    // Waits up to the timeout for notices; none when nothing was told.
    virtual CatalogNotices WaitForNotices(std::chrono::milliseconds timeout) = 0;
    // The songs added, changed or removed after the revision (one the store gave).
    virtual CatalogDelta ChangesSince(std::int64_t revision) = 0;
    // Every song's times sung and best score.
    virtual std::vector<SongCount> LoadCounts() = 0;
    // Counts the play by its name (NewPlayName) once, however often it is sent: a play sent again
    // after its answer was lost is not counted twice. CountSung counts one named anew.
    virtual void CountPlay(std::int64_t id, std::string_view play) = 0;
};

} // namespace linlangok
