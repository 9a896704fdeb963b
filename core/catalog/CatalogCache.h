#pragma once

#include "core/catalog/CatalogSong.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace linlangok {

// The file in the program folder that keeps a shared catalogue's songs as a room last loaded them.
inline constexpr std::string_view kCatalogCacheFileName = "VenueCatalog.cache";

// The songs of a shared catalogue at one of its revisions.
struct CatalogSnapshot {
    std::int64_t revision = 0;
    std::vector<CatalogSong> songs;
};

// Writes the snapshot in whole in place of the file; false when that failed (the file is as it was).
bool SaveCatalogCache(const std::filesystem::path& file, const CatalogSnapshot& snapshot);
// The snapshot in the file; nothing when it is missing, damaged, cut short or not such a file.
std::optional<CatalogSnapshot> LoadCatalogCache(const std::filesystem::path& file);

} // namespace linlangok
