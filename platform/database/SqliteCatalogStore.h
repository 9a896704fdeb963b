#pragma once

#include "core/catalog/CatalogStore.h"

#include <filesystem>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace linlangok {

inline constexpr std::string_view kCatalogFileName = "Catalog.db";

// The catalogue in one SQLite database file (WAL journal; every change in a transaction).
// Opening a file that is damaged, empty or belongs to another program sets it aside under a new
// name ("Catalog.db.damaged", then ".damaged-2" …), never deleting it, and starts an empty
// catalogue; SetAsideWarning then says so in one line. A new catalogue is made beside its name
// and linked in whole, so an empty file is never one that is being made. Several stores may be
// open on one file, one per thread, and in several processes. A catalogue of an earlier version is
// migrated when opened; one of a later version is set aside as foreign. Errors are raised as
// std::runtime_error.
class CSqliteCatalogStore final : public ICatalogStore {
public:
    explicit CSqliteCatalogStore(const std::filesystem::path& file);
    ~CSqliteCatalogStore() override;

    CSqliteCatalogStore(const CSqliteCatalogStore&) = delete;
    CSqliteCatalogStore& operator=(const CSqliteCatalogStore&) = delete;

    // Empty unless opening set a damaged or foreign file aside.
    const std::u16string& SetAsideWarning() const { return m_warning; }

    std::vector<std::filesystem::path> Folders() override;
    void AddFolder(const std::filesystem::path& folder) override;
    void RemoveFolder(const std::filesystem::path& folder) override;
    std::vector<CatalogSong> LoadSongs() override;
    std::vector<SongFile> LoadUnreadable() override;
    void Apply(CatalogChanges& changes) override;
    void CountSung(std::int64_t id) override;

private:
    class CStatement;

    void CreateFile();
    bool OpenAndCheck();
    // Brings a catalogue of an earlier version to this one.
    void Migrate();
    void Close();
    void Execute(const char* sql);
    [[noreturn]] void Fail(const char* what);

    std::filesystem::path m_file;
    sqlite3* m_database = nullptr;
    std::u16string m_warning;
    int m_lastError = 0; // the primary result code of the last failure
};

} // namespace linlangok
