#include "platform/database/SqliteCatalogStore.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/catalog/CatalogScanner.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>

namespace linlangok {
namespace {

// "LKOK": marks the file as this program's catalogue.
constexpr int kApplicationId = 0x4C4B4F4B;
// Version 2 adds the songs' covers.
constexpr int kSchemaVersion = 2;
constexpr int kBusyTimeoutMilliseconds = 5000;

// Every table, made where missing: a catalogue of an earlier version gains those it lacks.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS folders(path BLOB PRIMARY KEY);
CREATE TABLE IF NOT EXISTS songs(
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL UNIQUE,
  title TEXT NOT NULL,
  singer TEXT NOT NULL,
  format TEXT NOT NULL,
  length_ms INTEGER NOT NULL,
  language TEXT NOT NULL,
  size INTEGER NOT NULL,
  modified INTEGER NOT NULL,
  hash INTEGER NOT NULL,
  times_sung INTEGER NOT NULL DEFAULT 0,
  title_readings TEXT NOT NULL,
  singer_readings TEXT NOT NULL,
  cover BLOB NOT NULL DEFAULT x'');
CREATE TABLE IF NOT EXISTS unreadable(path BLOB PRIMARY KEY, size INTEGER NOT NULL, modified INTEGER NOT NULL);
)";

std::string Blob(const std::filesystem::path& path)
{
    return path.native();
}

// The bytes every path under the folder starts with.
std::string FolderPrefix(const std::filesystem::path& folder)
{
    std::string prefix = Blob(folder);
    if (!prefix.ends_with('/'))
        prefix += '/';
    return prefix;
}

// The schema and the marks of this program's catalogue, in one transaction.
bool WriteSchema(sqlite3* database)
{
    const std::string sql = std::string("BEGIN IMMEDIATE;") + kSchema + "PRAGMA application_id="
        + std::to_string(kApplicationId) + ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";COMMIT;";
    return sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

// A prepared statement, finalized when it goes.
class CSqliteCatalogStore::CStatement {
public:
    CStatement(CSqliteCatalogStore& store, const char* sql)
        : m_store(store)
    {
        if (sqlite3_prepare_v2(store.m_database, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            store.Fail("prepare");
    }
    ~CStatement() { sqlite3_finalize(m_statement); }

    CStatement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    CStatement& Bind(int index, std::string_view text, bool blob = false)
    {
        if (blob)
            sqlite3_bind_blob(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row.
    bool Step()
    {
        const int result = sqlite3_step(m_statement);
        if (result != SQLITE_ROW && result != SQLITE_DONE)
            m_store.Fail("step");
        return result == SQLITE_ROW;
    }
    // Runs the statement to its end and readies it for new values: the first column of its
    // first row, 0 without a row.
    std::int64_t Run()
    {
        std::int64_t first = 0;
        if (Step()) {
            first = Integer(0);
            while (Step()) { }
        }
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        return first;
    }
    std::int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string Text(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column)))
                     : std::string();
    }

private:
    CSqliteCatalogStore& m_store;
    sqlite3_stmt* m_statement = nullptr;
};

CSqliteCatalogStore::CSqliteCatalogStore(const std::filesystem::path& file)
    : m_file(file)
{
    if (OpenAndCheck())
        return;
    Close();
    const std::optional<std::filesystem::path> aside = SetFileAside(m_file);
    if (!aside) {
        const std::string reason = std::strerror(errno);
        throw std::runtime_error(FormattedUtf8(
            TrUtf8("CSqliteCatalogStore", "歌库数据库 %1 无法读取，也无法改名：%2"), {m_file.string(), reason}));
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        std::filesystem::path journal = m_file;
        journal += suffix;
        std::filesystem::path journalAside = *aside;
        journalAside += suffix;
        std::error_code error;
        std::filesystem::rename(journal, journalAside, error);
    }
    m_warning = Formatted(
        Tr("CSqliteCatalogStore",
            "歌库数据库是空文件、已损坏或不是本程序的文件，已改名为 %1，歌库已重建，请重新扫描歌曲文件夹。"),
        {PathToUtf16(aside->filename())});
    if (!OpenAndCheck()) {
        Close();
        throw std::runtime_error(
            FormattedUtf8(TrUtf8("CSqliteCatalogStore", "歌库数据库 %1 无法建立"), {m_file.string()}));
    }
}

CSqliteCatalogStore::~CSqliteCatalogStore()
{
    Close();
}

void CSqliteCatalogStore::Close()
{
    sqlite3_close_v2(m_database);
    m_database = nullptr;
}

void CSqliteCatalogStore::CreateFile()
{
    std::filesystem::path building = m_file;
    building += ".new-" + std::to_string(std::random_device()());
    sqlite3* database = nullptr;
    const bool made = sqlite3_open_v2(building.c_str(), &database,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            == SQLITE_OK
        && WriteSchema(database);
    sqlite3_close_v2(database);
    std::error_code error;
    if (made)
        std::filesystem::create_hard_link(building, m_file, error);
    // Another instance may have linked its own first; a file system without hard links gets a rename.
    if (made && error && error != std::errc::file_exists)
        std::filesystem::rename(building, m_file, error);
    std::filesystem::remove(building, error);
}

bool CSqliteCatalogStore::OpenAndCheck()
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(m_file, error);
    if (error == std::errc::no_such_file_or_directory)
        CreateFile();
    else if (!error && size == 0)
        return false; // never left so by this program: a crash or a full disk cut it short
    if (sqlite3_open_v2(m_file.c_str(), &m_database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(m_database, kBusyTimeoutMilliseconds);
    try {
        std::int64_t applicationId = 0;
        std::int64_t version = 0;
        std::int64_t objects = 0;
        {
            CStatement identity(*this,
                "SELECT (SELECT application_id FROM pragma_application_id),"
                " (SELECT user_version FROM pragma_user_version),"
                " (SELECT count(*) FROM sqlite_schema)");
            identity.Step();
            applicationId = identity.Integer(0);
            version = identity.Integer(1);
            objects = identity.Integer(2);
        }
        if (objects != 0) {
            CStatement check(*this, "PRAGMA quick_check");
            if (applicationId != kApplicationId || version < 1 || version > kSchemaVersion || !check.Step()
                || check.Text(0) != "ok")
                return false;
        }
        Execute("PRAGMA journal_mode=WAL");
        Execute("PRAGMA synchronous=NORMAL");
        if (objects != 0 && version < kSchemaVersion)
            Migrate();
        if (objects != 0)
            Execute(kSchema);
        else if (!WriteSchema(m_database))
            Fail("schema");
        return true;
    } catch (const std::runtime_error&) {
        // Only a file that is no database or a damaged one is set aside; a busy one is an error.
        if (m_lastError == SQLITE_NOTADB || m_lastError == SQLITE_CORRUPT)
            return false;
        throw;
    }
}

void CSqliteCatalogStore::Migrate()
{
    // Another process may be migrating the file too: the version is read again under the write lock.
    Execute("BEGIN IMMEDIATE");
    try {
        const std::int64_t version = CStatement(*this, "SELECT user_version FROM pragma_user_version").Run();
        // The UltraStar songs scanned before covers were kept are read again by the next scan.
        if (version < 2)
            Execute("ALTER TABLE songs ADD COLUMN cover BLOB NOT NULL DEFAULT x'';"
                    "UPDATE songs SET modified = 0 WHERE format = 'txt'");
        Execute(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void CSqliteCatalogStore::Fail(const char* what)
{
    m_lastError = sqlite3_errcode(m_database) & 0xFF;
    throw std::runtime_error(
        FormattedUtf8(TrUtf8("CSqliteCatalogStore", "歌库数据库出错（%1）：%2"), {what, sqlite3_errmsg(m_database)}));
}

void CSqliteCatalogStore::Execute(const char* sql)
{
    if (sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("exec");
}

std::vector<std::filesystem::path> CSqliteCatalogStore::Folders()
{
    std::vector<std::filesystem::path> folders;
    CStatement select(*this, "SELECT path FROM folders ORDER BY path");
    while (select.Step())
        folders.emplace_back(select.Text(0));
    return folders;
}

void CSqliteCatalogStore::AddFolder(const std::filesystem::path& folder)
{
    CStatement(*this, "INSERT OR IGNORE INTO folders(path) VALUES(?)").Bind(1, Blob(folder), true).Run();
}

void CSqliteCatalogStore::RemoveFolder(const std::filesystem::path& folder)
{
    Execute("BEGIN IMMEDIATE");
    try {
        CStatement(*this, "DELETE FROM folders WHERE path = ?").Bind(1, Blob(folder), true).Run();
        std::vector<std::string> kept;
        for (const std::filesystem::path& other : Folders())
            kept.push_back(FolderPrefix(other));
        const std::string prefix = FolderPrefix(folder);
        for (const std::string table : {"songs", "unreadable"}) {
            // Paths under the folder: the prefix, compared as bytes. Gathered before any goes.
            std::vector<std::string> gone;
            CStatement under(*this, ("SELECT path FROM " + table + " WHERE substr(path, 1, ?) = ?").c_str());
            under.Bind(1, static_cast<std::int64_t>(prefix.size())).Bind(2, prefix, true);
            while (under.Step()) {
                std::string path = under.Text(0);
                if (std::none_of(kept.begin(), kept.end(),
                        [&path](const std::string& other) { return path.starts_with(other); }))
                    gone.push_back(std::move(path));
            }
            CStatement remove(*this, ("DELETE FROM " + table + " WHERE path = ?").c_str());
            for (const std::string& path : gone)
                remove.Bind(1, path, true).Run();
        }
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::vector<CatalogSong> CSqliteCatalogStore::LoadSongs()
{
    std::vector<CatalogSong> songs;
    CStatement select(*this,
        "SELECT id, path, title, singer, format, length_ms, language, size, modified, hash,"
        " times_sung, title_readings, singer_readings, cover FROM songs ORDER BY id");
    while (select.Step()) {
        CatalogSong song;
        song.id = select.Integer(0);
        song.path = select.Text(1);
        // A catalogue scanned before texts were capped may hold longer ones.
        song.title = CapCatalogText(Utf8ToUtf16(select.Text(2)));
        song.singer = CapCatalogText(Utf8ToUtf16(select.Text(3)));
        song.format = select.Text(4);
        song.lengthMilliseconds = static_cast<std::int32_t>(select.Integer(5));
        song.language = select.Text(6);
        song.size = static_cast<std::uint64_t>(select.Integer(7));
        song.modified = select.Integer(8);
        song.identity = {song.size, static_cast<std::uint64_t>(select.Integer(9))};
        song.timesSung = static_cast<std::int32_t>(select.Integer(10));
        song.titleReadings = select.Text(11);
        song.singerReadings = select.Text(12);
        song.cover = select.Text(13);
        songs.push_back(std::move(song));
    }
    return songs;
}

std::vector<SongFile> CSqliteCatalogStore::LoadUnreadable()
{
    std::vector<SongFile> files;
    CStatement select(*this, "SELECT path, size, modified FROM unreadable");
    while (select.Step())
        files.push_back({select.Text(0), static_cast<std::uint64_t>(select.Integer(1)), select.Integer(2)});
    return files;
}

void CSqliteCatalogStore::Apply(CatalogChanges& changes)
{
    Execute("BEGIN IMMEDIATE");
    try {
        CStatement remove(*this, "DELETE FROM songs WHERE id = ?");
        for (const std::int64_t id : changes.removed)
            remove.Bind(1, id).Run();
        CStatement insert(*this,
            "INSERT INTO songs(path, title, singer, format, length_ms, language, size, modified, hash,"
            " title_readings, singer_readings, cover) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)"
            " ON CONFLICT(path) DO UPDATE SET title = ?2, singer = ?3, format = ?4, length_ms = ?5, language = ?6,"
            " size = ?7, modified = ?8, hash = ?9, title_readings = ?10, singer_readings = ?11, cover = ?12"
            " RETURNING id");
        CStatement update(*this,
            "UPDATE songs SET path = ?1, title = ?2, singer = ?3, format = ?4, length_ms = ?5, language = ?6,"
            " size = ?7, modified = ?8, hash = ?9, title_readings = ?10, singer_readings = ?11, cover = ?12"
            " WHERE id = ?13");
        auto bind = [](CStatement& statement, const CatalogSong& song) -> CStatement& {
            return statement.Bind(1, Blob(song.path), true)
                .Bind(2, Utf16ToUtf8(song.title))
                .Bind(3, Utf16ToUtf8(song.singer))
                .Bind(4, song.format)
                .Bind(5, song.lengthMilliseconds)
                .Bind(6, song.language)
                .Bind(7, static_cast<std::int64_t>(song.size))
                .Bind(8, song.modified)
                .Bind(9, static_cast<std::int64_t>(song.identity.hash))
                .Bind(10, song.titleReadings)
                .Bind(11, song.singerReadings)
                .Bind(12, Blob(song.cover), true);
        };
        for (CatalogSong& song : changes.added)
            song.id = bind(insert, song).Run();
        for (const CatalogSong& song : changes.changed)
            bind(update, song).Bind(13, song.id).Run();
        CStatement forget(*this, "DELETE FROM unreadable WHERE path = ?");
        for (const std::filesystem::path& path : changes.forgotten)
            forget.Bind(1, Blob(path), true).Run();
        CStatement remember(*this, "INSERT OR REPLACE INTO unreadable(path, size, modified) VALUES(?, ?, ?)");
        for (const SongFile& file : changes.unreadable)
            remember.Bind(1, Blob(file.path), true)
                .Bind(2, static_cast<std::int64_t>(file.size))
                .Bind(3, file.modified)
                .Run();
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void CSqliteCatalogStore::CountSung(std::int64_t id)
{
    CStatement(*this, "UPDATE songs SET times_sung = times_sung + 1 WHERE id = ?").Bind(1, id).Run();
}

} // namespace linlangok
