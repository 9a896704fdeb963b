#include "platform/database/PostgresCatalogStore.h"

#include "common/Number.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/PendingCounts.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace linlangok {
namespace {

// Version 1: folders, songs with revisions and counts, removed songs, unreadable files. Version 2:
// the songs' best scores. Version 3: the names of the plays counted.
constexpr int kSchemaVersion = 3;
// "LKOK": the advisory lock under which one connection at a time creates or migrates the tables.
constexpr std::int64_t kSchemaLock = 0x4C4B4F4B;
constexpr const char* kChannel = "linlangok_catalog";
// Statements sent before their results are read: one round trip for each so many, their results
// small enough for the socket's buffers.
constexpr size_t kPipelined = 100;

// How often an attempt to connect looks whether it is to give up.
constexpr std::chrono::milliseconds kConnectSlice {100};

// The type numbers of pg_type for the parameters.
constexpr Oid kByteaType = 17;
constexpr Oid kInt8Type = 20;
constexpr Oid kTextType = 25;

// The tables of version 1; the migrations bring them to the version of now.
constexpr const char* kCreateSchema = R"(
CREATE TABLE linlangok_schema(version integer NOT NULL);
CREATE TABLE catalog_state(revision bigint NOT NULL);
INSERT INTO catalog_state VALUES (0);
CREATE TABLE folders(path bytea PRIMARY KEY);
CREATE TABLE songs(
  id bigserial PRIMARY KEY,
  path bytea NOT NULL UNIQUE,
  title text NOT NULL,
  singer text NOT NULL,
  format text NOT NULL,
  length_ms integer NOT NULL,
  language text NOT NULL,
  size bigint NOT NULL,
  modified bigint NOT NULL,
  hash bigint NOT NULL,
  times_sung integer NOT NULL DEFAULT 0,
  title_readings text NOT NULL,
  singer_readings text NOT NULL,
  cover bytea NOT NULL DEFAULT '',
  revision bigint NOT NULL);
CREATE INDEX songs_revision ON songs(revision);
CREATE TABLE removed_songs(id bigint PRIMARY KEY, revision bigint NOT NULL);
CREATE INDEX removed_songs_revision ON removed_songs(revision);
CREATE TABLE unreadable(path bytea PRIMARY KEY, size bigint NOT NULL, modified bigint NOT NULL);
)";

// The steps from each version to the next, the first from version 1 to 2.
constexpr std::array<const char*, 2> kMigrations {
    "ALTER TABLE songs ADD COLUMN best_score integer NOT NULL DEFAULT 0",
    "CREATE TABLE counted_plays(play text PRIMARY KEY, counted timestamptz NOT NULL DEFAULT now());"
    "CREATE INDEX counted_plays_counted ON counted_plays(counted)",
};
static_assert(kMigrations.size() + 1 == kSchemaVersion);
// How long a play's name is kept, for it to be sent again.
constexpr const char* kForgetPlays = "DELETE FROM counted_plays WHERE counted < now() - interval '30 days'";

constexpr const char* kSongColumns = "id, path, title, singer, format, length_ms, language, size, modified, hash,"
                                     " times_sung, title_readings, singer_readings, cover, best_score";

std::string FolderPrefix(const std::filesystem::path& folder)
{
    std::string prefix = folder.native();
    if (!prefix.ends_with('/'))
        prefix += '/';
    return prefix;
}

// A text as the server takes it: UTF-8 without NUL, which a text column cannot hold.
std::string ServerText(std::u16string_view text)
{
    std::string utf8 = Utf16ToUtf8(text);
    std::erase(utf8, '\0');
    return utf8;
}

std::string ServerText(std::string text)
{
    std::erase(text, '\0');
    return text;
}

std::string BigEndian(std::uint64_t value)
{
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8)
        bytes[static_cast<size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}

// A binary result's integer column (int2, int4 or int8); 0 for any other length.
std::int64_t IntegerAt(const PGresult* result, int row, int column)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result, row, column));
    const int length = PQgetlength(result, row, column);
    if (length != 2 && length != 4 && length != 8)
        return 0;
    std::uint64_t value = (bytes[0] & 0x80) ? ~std::uint64_t(0) : 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | bytes[i];
    return static_cast<std::int64_t>(value);
}

std::string BytesAt(const PGresult* result, int row, int column)
{
    return std::string(PQgetvalue(result, row, column), static_cast<size_t>(PQgetlength(result, row, column)));
}

// libpq's message on one line: its lines (a hint indented on the next) joined by spaces.
std::string ErrorMessage(const PGconn* connection)
{
    std::string message;
    for (const char* character = PQerrorMessage(connection); *character; ++character) {
        const bool space = *character == ' ' || *character == '\n' || *character == '\t' || *character == '\r';
        if (!space)
            message += *character;
        else if (!message.empty() && message.back() != ' ')
            message += ' ';
    }
    if (!message.empty() && message.back() == ' ')
        message.pop_back();
    return message;
}

// The connection string's connect_timeout, else ours.
std::chrono::seconds ConnectTimeout(PGconn* connection)
{
    std::chrono::seconds timeout = kCatalogServerTimeout;
    if (PQconninfoOption* options = PQconninfo(connection)) {
        for (const PQconninfoOption* option = options; option->keyword; ++option)
            if (std::strcmp(option->keyword, "connect_timeout") == 0 && option->val)
                if (const std::optional<int> seconds = ParseNumber<int>(option->val); seconds && *seconds > 0)
                    timeout = std::chrono::seconds(*seconds);
        PQconninfoFree(options);
    }
    return timeout;
}

// "key=value" pairs whose value is quoted as libpq's connection strings quote them.
std::string Quoted(std::string_view value)
{
    std::string quoted = "'";
    for (const char character : value) {
        if (character == '\'' || character == '\\')
            quoted += '\\';
        quoted += character;
    }
    return quoted + "'";
}

} // namespace

void CPostgresCatalogStore::ResultDeleter::operator()(pg_result* result) const
{
    PQclear(result);
}

// A statement's parameters, all sent as binary values of their declared types.
class CPostgresCatalogStore::CQuery {
public:
    CQuery& Integer(std::int64_t value)
    {
        m_values.push_back(BigEndian(static_cast<std::uint64_t>(value)));
        m_types.push_back(kInt8Type);
        return *this;
    }
    CQuery& Text(std::string text)
    {
        m_values.push_back(ServerText(std::move(text)));
        m_types.push_back(kTextType);
        return *this;
    }
    CQuery& Bytes(std::string bytes)
    {
        m_values.push_back(std::move(bytes));
        m_types.push_back(kByteaType);
        return *this;
    }
    CQuery& Path(const std::filesystem::path& path) { return Bytes(path.native()); }
    CQuery& Song(const CatalogSong& song)
    {
        return Path(song.path)
            .Text(ServerText(song.title))
            .Text(ServerText(song.singer))
            .Text(song.format)
            .Integer(song.lengthMilliseconds)
            .Text(song.language)
            .Integer(static_cast<std::int64_t>(song.size))
            .Integer(song.modified)
            .Integer(static_cast<std::int64_t>(song.identity.hash))
            .Text(song.titleReadings)
            .Text(song.singerReadings)
            .Path(song.cover);
    }

    Result Run(CPostgresCatalogStore& store, const char* sql, const char* what) const
    {
        const Values values(*this);
        return store.Check(PQexecParams(store.m_connection, sql, static_cast<int>(m_values.size()), m_types.data(),
                               values.pointers.data(), values.lengths.data(), values.formats.data(), 1),
            what);
    }
    // Sends the statement in a pipeline without waiting for its result; false when it could not be.
    bool Send(CPostgresCatalogStore& store, const char* sql) const
    {
        const Values values(*this);
        return PQsendQueryParams(store.m_connection, sql, static_cast<int>(m_values.size()), m_types.data(),
                   values.pointers.data(), values.lengths.data(), values.formats.data(), 1)
            == 1;
    }

private:
    struct Values {
        explicit Values(const CQuery& query)
            : formats(query.m_values.size(), 1)
        {
            for (const std::string& value : query.m_values) {
                pointers.push_back(value.data());
                lengths.push_back(static_cast<int>(value.size()));
            }
        }
        std::vector<const char*> pointers;
        std::vector<int> lengths;
        std::vector<int> formats;
    };

    std::vector<std::string> m_values;
    std::vector<Oid> m_types;
};

CPostgresCatalogStore::CPostgresCatalogStore(const std::string& connection, std::stop_token stop)
{
    // The defaults come first, so that the connection string's own settings win.
    const std::string timeout = std::to_string(kCatalogServerTimeout.count());
    const std::string userTimeout = std::to_string(std::chrono::milliseconds(kCatalogServerTimeout).count());
    const std::array<const char*, 9> keywords {"connect_timeout", "tcp_user_timeout", "keepalives_idle",
        "keepalives_interval", "keepalives_count", "application_name", "client_encoding", "dbname", nullptr};
    const std::array<const char*, 9> values {
        timeout.c_str(), userTimeout.c_str(), "5", "2", "2", "linlangok", "UTF8", connection.c_str(), nullptr};
    m_connection = PQconnectStartParams(keywords.data(), values.data(), 1);
    if (!m_connection)
        throw std::runtime_error(TrUtf8("CPostgresCatalogStore", "无法连接歌库服务器：内存不足"));
    const auto fail = [&](const std::string& why) {
        PQfinish(m_connection);
        throw std::runtime_error(Utf16ToUtf8(Formatted(Tr("CPostgresCatalogStore", "无法连接歌库服务器（%1）：%2"),
            {Utf8ToUtf16(MaskedConnection(connection)), Utf8ToUtf16(why)})));
    };
    // Polled, libpq leaves the time limit to the caller; looked at in slices for the stop.
    const auto deadline = std::chrono::steady_clock::now() + ConnectTimeout(m_connection);
    for (PostgresPollingStatusType polling = PGRES_POLLING_WRITING; polling != PGRES_POLLING_OK;) {
        if (polling == PGRES_POLLING_FAILED || PQstatus(m_connection) == CONNECTION_BAD)
            fail(ErrorMessage(m_connection));
        pollfd socket {
            PQsocket(m_connection), static_cast<short>(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        // Without a socket yet (between a host's addresses), libpq is asked again at once.
        const int ready = socket.fd < 0 ? 1 : poll(&socket, 1, static_cast<int>(kConnectSlice.count()));
        if (stop.stop_requested())
            fail("cancelled");
        if (ready > 0)
            polling = PQconnectPoll(m_connection);
        else if (std::chrono::steady_clock::now() > deadline)
            fail("timeout expired");
    }
    // Notices (a warning of the server's) are no errors: nothing of them reaches standard error.
    PQsetNoticeProcessor(
        m_connection, [](void*, const char*) {}, nullptr);
    try {
        Execute(("SET statement_timeout = " + userTimeout + "; SET lock_timeout = " + userTimeout
            + "; SET idle_in_transaction_session_timeout = " + userTimeout)
                    .c_str());
        CreateOrMigrate();
    } catch (...) {
        PQfinish(m_connection);
        throw;
    }
}

CPostgresCatalogStore::~CPostgresCatalogStore()
{
    PQfinish(m_connection);
}

void CPostgresCatalogStore::Fail(const char* what)
{
    throw std::runtime_error(Utf16ToUtf8(Formatted(Tr("CPostgresCatalogStore", "歌库服务器出错（%1）：%2"),
        {Utf8ToUtf16(what), Utf8ToUtf16(ErrorMessage(m_connection))})));
}

CPostgresCatalogStore::Result CPostgresCatalogStore::Check(pg_result* raw, const char* what)
{
    Result result(raw);
    const ExecStatusType status = PQresultStatus(raw);
    if (!raw || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK))
        Fail(what);
    return result;
}

CPostgresCatalogStore::Result CPostgresCatalogStore::Execute(const char* sql)
{
    return Check(PQexec(m_connection, sql), "exec");
}

void CPostgresCatalogStore::Rollback()
{
    PQclear(PQexec(m_connection, "ROLLBACK"));
}

void CPostgresCatalogStore::CreateOrMigrate()
{
    Execute("BEGIN");
    try {
        CQuery().Integer(kSchemaLock).Run(*this, "SELECT pg_advisory_xact_lock($1)", "lock");
        const Result exists = CQuery().Run(*this, "SELECT to_regclass('linlangok_schema') IS NOT NULL", "schema");
        std::int64_t found = 1;
        if (BytesAt(exists.get(), 0, 0) != std::string(1, '\1')) {
            Execute(kCreateSchema);
            CQuery().Integer(found).Run(*this, "INSERT INTO linlangok_schema VALUES ($1)", "version");
        } else {
            const Result version = CQuery().Run(*this, "SELECT version FROM linlangok_schema", "schema");
            found = PQntuples(version.get()) == 1 ? IntegerAt(version.get(), 0, 0) : 0;
            if (found < 1 || found > kSchemaVersion)
                throw std::runtime_error(Utf16ToUtf8(
                    Formatted(Tr("CPostgresCatalogStore", "歌库数据库的版本 %1 不是本程序能用的，未作改动。"),
                        {Utf8ToUtf16(std::to_string(found))})));
        }
        for (std::int64_t step = found; step < kSchemaVersion; ++step)
            Execute(kMigrations[static_cast<size_t>(step - 1)]);
        if (found < kSchemaVersion)
            CQuery().Integer(kSchemaVersion).Run(*this, "UPDATE linlangok_schema SET version = $1", "version");
        Execute(kForgetPlays);
        Execute("COMMIT");
    } catch (...) {
        Rollback();
        throw;
    }
}

std::int64_t CPostgresCatalogStore::BeginRevision()
{
    Execute("BEGIN");
    // The row's lock orders the transactions that change songs: one revision after another, each
    // committed before the next is taken, so that a reader that has seen a revision has seen all before it.
    const Result revision
        = CQuery().Run(*this, "UPDATE catalog_state SET revision = revision + 1 RETURNING revision", "revision");
    return IntegerAt(revision.get(), 0, 0);
}

std::vector<std::filesystem::path> CPostgresCatalogStore::Folders()
{
    const Result rows = CQuery().Run(*this, "SELECT path FROM folders ORDER BY path", "folders");
    std::vector<std::filesystem::path> folders;
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        folders.emplace_back(BytesAt(rows.get(), row, 0));
    return folders;
}

void CPostgresCatalogStore::AddFolder(const std::filesystem::path& folder)
{
    CQuery().Path(folder).Run(*this, "INSERT INTO folders(path) VALUES ($1) ON CONFLICT DO NOTHING", "folder");
}

void CPostgresCatalogStore::RemoveFolder(const std::filesystem::path& folder)
{
    const std::int64_t revision = BeginRevision();
    try {
        CQuery().Path(folder).Run(*this, "DELETE FROM folders WHERE path = $1", "folder");
        std::vector<std::string> kept;
        for (const std::filesystem::path& other : Folders())
            kept.push_back(FolderPrefix(other));
        const std::string prefix = FolderPrefix(folder);
        const auto outside = [&kept](const std::string& path) {
            return std::none_of(
                kept.begin(), kept.end(), [&path](const std::string& other) { return path.starts_with(other); });
        };
        const Result songs
            = CQuery()
                  .Integer(static_cast<std::int64_t>(prefix.size()))
                  .Bytes(prefix)
                  .Run(*this, "SELECT id, path FROM songs WHERE substring(path FROM 1 FOR $1::integer) = $2", "folder");
        for (int row = 0; row < PQntuples(songs.get()); ++row)
            if (outside(BytesAt(songs.get(), row, 1)))
                CQuery()
                    .Integer(IntegerAt(songs.get(), row, 0))
                    .Integer(revision)
                    .Run(*this,
                        "WITH gone AS (DELETE FROM songs WHERE id = $1 RETURNING id) INSERT INTO removed_songs"
                        " SELECT id, $2 FROM gone ON CONFLICT (id) DO UPDATE SET revision = excluded.revision",
                        "remove");
        const Result files
            = CQuery()
                  .Integer(static_cast<std::int64_t>(prefix.size()))
                  .Bytes(prefix)
                  .Run(
                      *this, "SELECT path FROM unreadable WHERE substring(path FROM 1 FOR $1::integer) = $2", "folder");
        for (int row = 0; row < PQntuples(files.get()); ++row)
            if (std::string path = BytesAt(files.get(), row, 0); outside(path))
                CQuery().Bytes(std::move(path)).Run(*this, "DELETE FROM unreadable WHERE path = $1", "folder");
        Execute(("NOTIFY " + std::string(kChannel) + ", 'songs'").c_str());
        Execute("COMMIT");
    } catch (...) {
        Rollback();
        throw;
    }
}

std::vector<CatalogSong> CPostgresCatalogStore::SongsOf(const Result& rows)
{
    std::vector<CatalogSong> songs;
    const PGresult* result = rows.get();
    songs.reserve(static_cast<size_t>(PQntuples(result)));
    for (int row = 0; row < PQntuples(result); ++row) {
        CatalogSong song;
        song.id = IntegerAt(result, row, 0);
        song.path = BytesAt(result, row, 1);
        song.title = CapCatalogText(Utf8ToUtf16(BytesAt(result, row, 2)));
        song.singer = CapCatalogText(Utf8ToUtf16(BytesAt(result, row, 3)));
        song.format = BytesAt(result, row, 4);
        song.lengthMilliseconds = static_cast<std::int32_t>(IntegerAt(result, row, 5));
        song.language = BytesAt(result, row, 6);
        song.size = static_cast<std::uint64_t>(IntegerAt(result, row, 7));
        song.modified = IntegerAt(result, row, 8);
        song.identity = {song.size, static_cast<std::uint64_t>(IntegerAt(result, row, 9))};
        song.timesSung = static_cast<std::int32_t>(IntegerAt(result, row, 10));
        song.titleReadings = BytesAt(result, row, 11);
        song.singerReadings = BytesAt(result, row, 12);
        song.cover = BytesAt(result, row, 13);
        song.bestScore = std::clamp(static_cast<std::int32_t>(IntegerAt(result, row, 14)), 0, 100);
        songs.push_back(std::move(song));
    }
    return songs;
}

std::vector<CatalogSong> CPostgresCatalogStore::LoadSongs()
{
    // The songs and their revision from one snapshot.
    Execute("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
        const Result revision = CQuery().Run(*this, "SELECT revision FROM catalog_state", "load");
        const Result rows
            = CQuery().Run(*this, (std::string("SELECT ") + kSongColumns + " FROM songs ORDER BY id").c_str(), "load");
        Execute("COMMIT");
        m_loadedRevision = IntegerAt(revision.get(), 0, 0);
        return SongsOf(rows);
    } catch (...) {
        Rollback();
        throw;
    }
}

std::vector<SongFile> CPostgresCatalogStore::LoadUnreadable()
{
    const Result rows = CQuery().Run(*this, "SELECT path, size, modified FROM unreadable", "unreadable");
    std::vector<SongFile> files;
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        files.push_back({BytesAt(rows.get(), row, 0), static_cast<std::uint64_t>(IntegerAt(rows.get(), row, 1)),
            IntegerAt(rows.get(), row, 2)});
    return files;
}

std::vector<CPostgresCatalogStore::Result> CPostgresCatalogStore::RunAll(
    const char* sql, const std::vector<CQuery>& queries, const char* what)
{
    std::vector<Result> results;
    results.reserve(queries.size());
    for (size_t first = 0; first < queries.size(); first += kPipelined) {
        const size_t end = std::min(queries.size(), first + kPipelined);
        if (!PQenterPipelineMode(m_connection))
            Fail(what);
        bool sent = true;
        for (size_t i = first; i < end && sent; ++i)
            sent = queries[i].Send(*this, sql);
        if (!sent || !PQpipelineSync(m_connection))
            Fail(what);
        std::string failure;
        for (size_t i = first; i < end; ++i) {
            Result result(PQgetResult(m_connection));
            const ExecStatusType status = PQresultStatus(result.get());
            if (failure.empty() && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
                failure = result ? PQresultErrorMessage(result.get()) : PQerrorMessage(m_connection);
            results.push_back(std::move(result));
            PQclear(PQgetResult(m_connection)); // the end of this statement's results
        }
        PQclear(PQgetResult(m_connection)); // the pipeline's sync
        PQexitPipelineMode(m_connection);
        if (!failure.empty())
            throw std::runtime_error(Utf16ToUtf8(Formatted(
                Tr("CPostgresCatalogStore", "歌库服务器出错（%1）：%2"), {Utf8ToUtf16(what), Utf8ToUtf16(failure)})));
    }
    return results;
}

void CPostgresCatalogStore::Apply(CatalogChanges& changes)
{
    const std::int64_t revision = BeginRevision();
    try {
        std::vector<CQuery> queries;
        for (const std::int64_t id : changes.removed)
            queries.push_back(CQuery().Integer(id).Integer(revision));
        RunAll("WITH gone AS (DELETE FROM songs WHERE id = $1 RETURNING id) INSERT INTO removed_songs"
               " SELECT id, $2 FROM gone ON CONFLICT (id) DO UPDATE SET revision = excluded.revision",
            queries, "remove");
        // Another room may have scanned the same file meanwhile: its row is brought up to date.
        queries.clear();
        for (const CatalogSong& song : changes.added)
            queries.push_back(CQuery().Song(song).Integer(revision));
        const std::vector<Result> ids
            = RunAll("INSERT INTO songs(path, title, singer, format, length_ms, language, size, modified, hash,"
                     " title_readings, singer_readings, cover, revision)"
                     " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13)"
                     " ON CONFLICT (path) DO UPDATE SET title = $2, singer = $3, format = $4, length_ms = $5,"
                     " language = $6, size = $7, modified = $8, hash = $9, title_readings = $10, singer_readings = $11,"
                     " cover = $12, revision = $13 RETURNING id",
                queries, "add");
        queries.clear();
        for (const CatalogSong& song : changes.changed)
            queries.push_back(CQuery().Song(song).Integer(revision).Integer(song.id));
        RunAll("UPDATE songs SET path = $1, title = $2, singer = $3, format = $4, length_ms = $5, language = $6,"
               " size = $7, modified = $8, hash = $9, title_readings = $10, singer_readings = $11, cover = $12,"
               " revision = $13 WHERE id = $14",
            queries, "change");
        queries.clear();
        for (const std::filesystem::path& path : changes.forgotten)
            queries.push_back(CQuery().Path(path));
        RunAll("DELETE FROM unreadable WHERE path = $1", queries, "unreadable");
        queries.clear();
        for (const SongFile& file : changes.unreadable)
            queries.push_back(
                CQuery().Path(file.path).Integer(static_cast<std::int64_t>(file.size)).Integer(file.modified));
        RunAll("INSERT INTO unreadable(path, size, modified) VALUES ($1, $2, $3)"
               " ON CONFLICT (path) DO UPDATE SET size = $2, modified = $3",
            queries, "unreadable");
        Execute(("NOTIFY " + std::string(kChannel) + ", 'songs'").c_str());
        Execute("COMMIT");
        for (size_t i = 0; i < ids.size(); ++i)
            changes.added[i].id = IntegerAt(ids[i].get(), 0, 0);
    } catch (...) {
        Rollback();
        throw;
    }
}

void CPostgresCatalogStore::CountSung(std::int64_t id)
{
    CountPlay(id, NewPlayName());
}

void CPostgresCatalogStore::CountPlay(std::int64_t id, std::string_view play)
{
    CQuery()
        .Integer(id)
        .Text(std::string(play))
        .Run(*this,
            "WITH named AS (INSERT INTO counted_plays(play) VALUES ($2) ON CONFLICT DO NOTHING RETURNING play)"
            " UPDATE songs SET times_sung = times_sung + 1 WHERE id = $1 AND EXISTS (SELECT FROM named)",
            "count");
    TellCount(id, "count");
}

void CPostgresCatalogStore::KeepBestScore(std::int64_t id, std::int32_t score)
{
    CQuery()
        .Integer(id)
        .Integer(std::clamp(score, 0, 100))
        .Run(*this, "UPDATE songs SET best_score = GREATEST(best_score, $2::integer) WHERE id = $1", "score");
    TellCount(id, "score");
}

void CPostgresCatalogStore::TellCount(std::int64_t id, const char* what)
{
    // Told apart from the change: a transaction that notifies holds the server's one notify lock
    // until it commits, and the rooms' counts would wait for each other's write to disk. This one
    // writes nothing.
    CQuery().Integer(id).Text(kChannel).Run(*this,
        "SELECT pg_notify($2, 'sung ' || id || ' ' || times_sung || ' ' || best_score) FROM songs WHERE id = $1", what);
}

void CPostgresCatalogStore::Listen()
{
    Execute(("LISTEN " + std::string(kChannel)).c_str());
}

void CPostgresCatalogStore::TakeNotices(CatalogNotices& notices)
{
    while (PGnotify* notice = PQnotifies(m_connection)) {
        const std::string_view payload = notice->extra ? notice->extra : "";
        if (payload == "songs") {
            notices.songsChanged = true;
        } else if (payload.starts_with("sung ")) {
            SongCount count;
            const char* end = payload.data() + payload.size();
            const auto [afterId, idError] = std::from_chars(payload.data() + 5, end, count.id);
            if (idError == std::errc() && afterId != end && *afterId == ' ') {
                const auto [afterCount, countError] = std::from_chars(afterId + 1, end, count.timesSung);
                // The best score follows, but from a program that keeps none.
                bool good = countError == std::errc() && afterCount == end;
                if (countError == std::errc() && afterCount != end && *afterCount == ' ') {
                    const auto [afterBest, bestError] = std::from_chars(afterCount + 1, end, count.bestScore);
                    good = bestError == std::errc() && afterBest == end && count.bestScore >= 0
                        && count.bestScore <= 100;
                }
                if (good)
                    notices.counts.push_back(count);
            }
        }
        PQfreemem(notice);
    }
}

CatalogNotices CPostgresCatalogStore::WaitForNotices(std::chrono::milliseconds timeout)
{
    CatalogNotices notices;
    if (!PQconsumeInput(m_connection))
        Fail("listen");
    TakeNotices(notices);
    if (notices.songsChanged || !notices.counts.empty())
        return notices;
    pollfd socket {PQsocket(m_connection), POLLIN, 0};
    if (socket.fd < 0)
        Fail("listen");
    if (poll(&socket, 1, static_cast<int>(timeout.count())) > 0) {
        if (!PQconsumeInput(m_connection) || PQstatus(m_connection) != CONNECTION_OK)
            Fail("listen");
        TakeNotices(notices);
    }
    return notices;
}

CatalogDelta CPostgresCatalogStore::ChangesSince(std::int64_t revision)
{
    Execute("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
        CatalogDelta delta;
        const Result now = CQuery().Run(*this, "SELECT revision FROM catalog_state", "changes");
        const Result songs = CQuery().Integer(revision).Run(*this,
            (std::string("SELECT ") + kSongColumns + " FROM songs WHERE revision > $1 ORDER BY id").c_str(), "changes");
        const Result removed
            = CQuery().Integer(revision).Run(*this, "SELECT id FROM removed_songs WHERE revision > $1", "changes");
        Execute("COMMIT");
        delta.revision = IntegerAt(now.get(), 0, 0);
        delta.songs = SongsOf(songs);
        for (int row = 0; row < PQntuples(removed.get()); ++row)
            delta.removed.push_back(IntegerAt(removed.get(), row, 0));
        return delta;
    } catch (...) {
        Rollback();
        throw;
    }
}

std::vector<SongCount> CPostgresCatalogStore::LoadCounts()
{
    const Result rows = CQuery().Run(
        *this, "SELECT id, times_sung, best_score FROM songs WHERE times_sung > 0 OR best_score > 0", "counts");
    std::vector<SongCount> counts;
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        counts.push_back({IntegerAt(rows.get(), row, 0), static_cast<std::int32_t>(IntegerAt(rows.get(), row, 1)),
            std::clamp(static_cast<std::int32_t>(IntegerAt(rows.get(), row, 2)), 0, 100)});
    return counts;
}

bool IsPostgresConnection(std::string_view text)
{
    return text.starts_with("postgresql://") || text.starts_with("postgres://")
        || text.find('=') != std::string_view::npos;
}

namespace {

// The connection string's settings as key=value pairs, its password as given; nothing when it
// does not parse.
std::optional<std::string> Rebuilt(std::string_view connection, const std::optional<std::string>& password)
{
    PQconninfoOption* options = PQconninfoParse(std::string(connection).c_str(), nullptr);
    if (!options)
        return std::nullopt;
    std::string rebuilt;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        const bool isPassword = std::strcmp(option->keyword, "password") == 0;
        if (!option->val || (isPassword && !password))
            continue;
        if (!rebuilt.empty())
            rebuilt += ' ';
        rebuilt += std::string(option->keyword) + '=' + (isPassword ? *password : Quoted(option->val));
    }
    PQconninfoFree(options);
    return rebuilt;
}

} // namespace

std::string MaskedConnection(std::string_view connection)
{
    return Rebuilt(connection, "***").value_or("***");
}

std::optional<std::string> ConnectionWithoutPassword(std::string_view connection)
{
    if (!IsPostgresConnection(connection))
        return std::nullopt;
    return Rebuilt(connection, std::nullopt);
}

std::string CatalogServerError(const std::string& connection, std::stop_token stop)
{
    try {
        CPostgresCatalogStore reached(connection, stop);
        return {};
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}

} // namespace linlangok
