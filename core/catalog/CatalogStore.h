#pragma once

#include "core/catalog/CatalogSong.h"

#include <filesystem>
#include <vector>

namespace linlangok {

// One scan's changes, applied together.
struct CatalogChanges {
    std::vector<CatalogSong> added; // id 0; the store gives them theirs
    std::vector<CatalogSong> changed; // by id: everything but the times sung is replaced
    std::vector<std::int64_t> removed;
};

// Where the catalogue lives between runs: the song folders and the songs under them. Errors are
// raised as std::runtime_error with a message for the user. One thread at a time.
class ICatalogStore {
public:
    virtual ~ICatalogStore() = default;

    virtual std::vector<std::filesystem::path> Folders() = 0;
    // Adds a folder (once; an existing one is not added again).
    virtual void AddFolder(const std::filesystem::path& folder) = 0;
    // Removes the folder and the songs found under it.
    virtual void RemoveFolder(const std::filesystem::path& folder) = 0;

    virtual std::vector<CatalogSong> LoadSongs() = 0;
    // Applies every change or none. The added songs get their ids.
    virtual void Apply(CatalogChanges& changes) = 0;
    virtual void CountSung(std::int64_t id) = 0;
};

} // namespace linlangok
