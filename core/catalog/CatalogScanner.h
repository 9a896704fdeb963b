#pragma once

#include "common/FilePath.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/SongReader.h"
#include "core/catalog/TextReadings.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace linlangok {

// What a rescan has to do, from the stored songs and the files found now. A file whose path,
// size and modification time are stored is unchanged; one at a stored path with another size or
// time is changed; a new path whose content identity is that of a stored song no longer found is
// that song moved (it keeps its id and times sung); other new paths are new; stored songs not
// found are removed.
struct ScanPlan {
    std::vector<SongFile> added;
    std::vector<std::pair<std::int64_t, SongFile>> changed; // moved songs included
    std::vector<std::int64_t> removed;
    size_t unchanged = 0;
};

// The identity of a file, nothing when it cannot be read (see IdentifySong).
using IdentifyFile = std::function<std::optional<SongIdentity>(const std::filesystem::path&)>;

// Only new files of the size of a song no longer found are identified.
ScanPlan PlanScan(const std::vector<CatalogSong>& stored, std::vector<SongFile> found, const IdentifyFile& identify);

// What a song folder holds: every song file under it and its subfolders, and the folders that
// could not be listed (the folder itself when it is missing), whose files are skipped.
struct FoundSongFiles {
    std::vector<SongFile> files;
    std::vector<std::filesystem::path> unreadableFolders;
};
FoundSongFiles FindSongFiles(const std::filesystem::path& folder, std::stop_token stop);

// The longest title or singer the catalogue keeps, in UTF-16 units: a file's texts may be of any
// length, and each goes into the queue file and to every phone.
inline constexpr size_t kLongestCatalogText = 200;
// The text cut to kLongestCatalogText units, never inside a surrogate pair.
std::u16string CapCatalogText(std::u16string text);

struct ScanReport {
    size_t songs = 0; // in the catalogue after the scan
    size_t added = 0;
    size_t changed = 0;
    size_t removed = 0;
    // The files that could not be read, those remembered from earlier scans included.
    std::vector<std::filesystem::path> unreadable;
    // Song folders and subfolders that could not be read: their songs stay as they were.
    std::vector<std::filesystem::path> unreadableFolders;
    bool cancelled = false;
};

// What the user is told of a song folder in ScanReport::unreadableFolders, named as shown.
std::u16string UnreadableFolderText(std::u16string_view folder);

// Called now and then with the files read so far and the files to read.
using ScanProgress = std::function<void(size_t done, size_t total)>;

// Brings the store up to date with the song folders on disk: finds the files, plans, reads what
// is new or changed (the reader's details, else the file name's patterns) and stores the changes
// in batches, so that a cancelled scan keeps what it has read. A folder that does not exist now
// (an unplugged drive) or cannot be read keeps its songs. A file that cannot be read (the reader
// finds nothing, or fails) is remembered with its size and time and not read again until they
// change. Runs on the calling thread, meant to be a worker; the store, reader, folding and pinyin
// are used from it alone meanwhile. Store errors are raised.
class CCatalogScanner {
public:
    // A file name that is not UTF-8 is read as the names show it.
    CCatalogScanner(
        ICatalogStore& store, ISongReader& reader, ITextFolding& folding, IPinyin& pinyin, const CPathDisplay& names);

    ScanReport Scan(std::stop_token stop, const ScanProgress& progress = {});

    // A song's catalogue record from its file and what the reader found in it.
    CatalogSong Describe(const SongFile& file, const std::optional<SongDetails>& details);

private:
    ICatalogStore& m_store;
    ISongReader& m_reader;
    ITextFolding& m_folding;
    IPinyin& m_pinyin;
    const CPathDisplay& m_names;
};

} // namespace linlangok
