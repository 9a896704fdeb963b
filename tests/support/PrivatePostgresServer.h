#pragma once

#include <filesystem>
#include <string>

namespace linlangok::test {

// A PostgreSQL server of the test's own: a cluster made by initdb in a temporary folder, started by
// pg_ctl on a free port of 127.0.0.1 with its socket in that folder, stopped and removed on
// destruction. No system service is touched. Run as nobody when the test runs as root, which the
// server refuses. Missing() says why there is none (PostgreSQL not installed, initdb failed). A
// durable server syncs each commit to disk as a venue's does; the tests' does not.
class CPrivatePostgresServer {
public:
    explicit CPrivatePostgresServer(bool durable = false);
    ~CPrivatePostgresServer();

    CPrivatePostgresServer(const CPrivatePostgresServer&) = delete;
    CPrivatePostgresServer& operator=(const CPrivatePostgresServer&) = delete;

    // Empty while the server is there.
    const std::string& Missing() const { return m_missing; }
    // A libpq connection string for a new empty database of that name.
    std::string CreateDatabase(const std::string& name);
    // Runs SQL in the database through psql; true when it succeeded.
    bool RunSql(const std::string& database, const std::string& sql) const;
    // Stops the server (ending its connections) or starts it again on the same port; true when done.
    bool Stop();
    bool Start();

private:
    // Runs a program of PostgreSQL's as the cluster's owner; true when it succeeds.
    bool RunAsOwner(const std::string& arguments) const;

    std::filesystem::path m_binaries;
    std::filesystem::path m_folder;
    int m_port = 0;
    bool m_asNobody = false;
    bool m_durable = false;
    bool m_running = false;
    std::string m_missing;
};

} // namespace linlangok::test
