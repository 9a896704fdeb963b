#pragma once

#include "core/catalog/SharedCatalog.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

struct pg_conn;
struct pg_result;

namespace linlangok {

// How long a connection attempt and a statement may take before they fail.
inline constexpr std::chrono::seconds kCatalogServerTimeout {5};

// The catalogue of a venue's rooms in one PostgreSQL database, through libpq. The connection string
// is libpq's ("postgresql://user@host/db", or "host=… dbname=…"); the password comes from it or from
// libpq's own files (~/.pgpass, PGSERVICE). Opening creates the tables where they are missing and
// migrates those of an earlier version (a database of a later version is refused, untouched); the
// changes of songs are numbered by a revision and notified on the channel "linlangok_catalog".
// Connecting and every statement are bounded by kCatalogServerTimeout. Errors, the server away
// included, are raised as std::runtime_error.
class CPostgresCatalogStore final : public ISharedCatalogStore {
public:
    // The attempt to connect gives up when the token is stopped.
    explicit CPostgresCatalogStore(const std::string& connection, std::stop_token stop = {});
    ~CPostgresCatalogStore() override;

    CPostgresCatalogStore(const CPostgresCatalogStore&) = delete;
    CPostgresCatalogStore& operator=(const CPostgresCatalogStore&) = delete;

    std::vector<std::filesystem::path> Folders() override;
    void AddFolder(const std::filesystem::path& folder) override;
    void RemoveFolder(const std::filesystem::path& folder) override;
    std::vector<CatalogSong> LoadSongs() override;
    std::int64_t LoadedRevision() const override { return m_loadedRevision; }
    std::vector<SongFile> LoadUnreadable() override;
    void Apply(CatalogChanges& changes) override;
    // One atomic increment on the server, so that rooms counting at once lose none; then told.
    void CountSung(std::int64_t id) override;
    // The play's name is kept beside the increment, in the same statement, for 30 days: a room that
    // lost the answer sends the play again when it is next connected.
    void CountPlay(std::int64_t id, std::string_view play) override;
    // One atomic GREATEST on the server, so that of rooms scoring at once the best stays; then told.
    void KeepBestScore(std::int64_t id, std::int32_t score) override;

    void Listen() override;
    CatalogNotices WaitForNotices(std::chrono::milliseconds timeout) override;
    CatalogDelta ChangesSince(std::int64_t revision) override;
    std::vector<SongCount> LoadCounts() override;

private:
    class CQuery;
    struct ResultDeleter {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultDeleter>;

    void CreateOrMigrate();
    // Runs statements without parameters whose rows, if any, are not read (they come as text).
    Result Execute(const char* sql);
    Result Check(pg_result* result, const char* what);
    // Runs the statement once for each query's values, in pipelines: the results in order.
    std::vector<Result> RunAll(const char* sql, const std::vector<CQuery>& queries, const char* what);
    [[noreturn]] void Fail(const char* what);
    // Begins a transaction that numbers its changes: the new revision.
    std::int64_t BeginRevision();
    void Rollback();
    std::vector<CatalogSong> SongsOf(const Result& rows);
    void TakeNotices(CatalogNotices& notices);
    // Tells the listeners the song's times sung and best score as they are now.
    void TellCount(std::int64_t id, const char* what);

    pg_conn* m_connection = nullptr;
    std::int64_t m_loadedRevision = 0;
};

// True when the text names a PostgreSQL catalogue (a libpq URI or key=value string) rather than a file.
bool IsPostgresConnection(std::string_view text);
// The connection string as it may be shown: its password replaced by "***".
std::string MaskedConnection(std::string_view connection);
// The connection string as it may be kept, its password left out (libpq then reads ~/.pgpass);
// nothing when it is no connection string.
std::optional<std::string> ConnectionWithoutPassword(std::string_view connection);
// Connects to the catalogue (making its tables when there are none): why it could not, its password
// hidden; empty when it could. Gives up when the token is stopped.
std::string CatalogServerError(const std::string& connection, std::stop_token stop);

} // namespace linlangok
