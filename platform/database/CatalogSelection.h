#pragma once

#include "core/catalog/CatalogService.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace linlangok {

// Which catalogue a run uses: a venue's on PostgreSQL when LINLANGOK_CATALOG holds a libpq
// connection string, else when one is remembered (歌库), else Catalog.db in the program folder.
class CCatalogSelection {
public:
    // Reads LINLANGOK_CATALOG; raises std::runtime_error when it, or else the one remembered, is
    // something else than a connection string (the text shown with its password hidden).
    explicit CCatalogSelection(const std::filesystem::path& programFolder, std::string_view remembered = {});

    bool IsShared() const { return !m_connection.empty(); }

    // A store of its own for the calling thread: the file's (a set-aside warning then in warning,
    // when given) or a connection to the server. Raises std::runtime_error when it cannot be opened.
    std::unique_ptr<ICatalogStore> Open(std::u16string* warning = nullptr) const;
    // A connection to the shared catalogue, given up when the token is stopped; only when IsShared.
    std::unique_ptr<ISharedCatalogStore> Connect(std::stop_token stop = {}) const;
    // The parts of the catalogue service that follow the shared catalogue (empty for the file's):
    // the cache of the index and the pending counts in the program folder. The counts outlive the
    // parts.
    SharedCatalogParts Shared(CPendingCounts& pending) const;

private:
    std::filesystem::path m_programFolder;
    std::string m_connection;
};

} // namespace linlangok
