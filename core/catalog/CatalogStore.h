#pragma once

#include "core/catalog/CatalogSong.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace linlangok {

// A song file found under a song folder.
struct SongFile {
    std::filesystem::path path;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds of the file clock

    bool operator==(const SongFile&) const = default;
};

// One scan's changes, applied together.
struct CatalogChanges {
    std::vector<CatalogSong> added; // id 0; the store gives them theirs
    std::vector<CatalogSong> changed; // by id: everything but the times sung is replaced
    std::vector<std::int64_t> removed;
    // Files that could not be read, remembered as they are now (replacing what was remembered at
    // their paths), and paths no longer remembered as unreadable.
    std::vector<SongFile> unreadable;
    std::vector<std::filesystem::path> forgotten;
};

// Where the catalogue lives between runs: the song folders, the songs under them and the files
// under them that could not be read. Errors are raised as std::runtime_error with a message for
// the user. One thread at a time.
class ICatalogStore {
public:
    virtual ~ICatalogStore() = default;

    virtual std::vector<std::filesystem::path> Folders() = 0;
    // Adds a folder (once; an existing one is not added again).
    virtual void AddFolder(const std::filesystem::path& folder) = 0;
    // Removes the folder and the songs and unreadable files found under it, but for those under
    // another song folder inside it.
    virtual void RemoveFolder(const std::filesystem::path& folder) = 0;

    virtual std::vector<CatalogSong> LoadSongs() = 0;
    // The revision of a shared catalogue that the songs LoadSongs gave last show; 0 for a store
    // that does not number its changes.
    virtual std::int64_t LoadedRevision() const { return 0; }
    // The files remembered as unreadable, with the size and time they had then.
    virtual std::vector<SongFile> LoadUnreadable() = 0;
    // Applies every change or none. The added songs get their ids.
    virtual void Apply(CatalogChanges& changes) = 0;
    virtual void CountSung(std::int64_t id) = 0;
    // A room's score of the song: the store keeps the best of all. One machine's catalogue keeps
    // none (its song memory does), and this does nothing.
    virtual void KeepBestScore(std::int64_t, std::int32_t) { }
};

} // namespace linlangok
