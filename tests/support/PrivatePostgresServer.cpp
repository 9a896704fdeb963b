#include "tests/support/PrivatePostgresServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace linlangok::test {
namespace {

constexpr unsigned kNobody = 65534;

// The bin folder of the newest PostgreSQL installed; empty when there is none.
std::filesystem::path FindBinaries()
{
    for (int version = 30; version >= 10; --version)
        if (const std::filesystem::path bin = "/usr/lib/postgresql/" + std::to_string(version) + "/bin";
            std::filesystem::exists(bin / "pg_ctl"))
            return bin;
    return {};
}

int FreePort()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(listener);
    return port;
}

std::string Quoted(std::string_view text)
{
    std::string quoted = "'";
    for (const char character : text)
        quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return quoted + "'";
}

} // namespace

CPrivatePostgresServer::CPrivatePostgresServer(bool durable)
    : m_binaries(FindBinaries())
    , m_asNobody(geteuid() == 0)
    , m_durable(durable)
{
    if (m_binaries.empty()) {
        m_missing = "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/pg_ctl)";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "linlangok-pg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        m_missing = "no temporary folder for the server";
        return;
    }
    m_folder = pattern;
    if (m_asNobody && chown(m_folder.c_str(), kNobody, kNobody) != 0) {
        m_missing = "the server's folder cannot be given to nobody";
        return;
    }
    m_port = FreePort();
    if (!RunAsOwner(
            "initdb -D " + Quoted((m_folder / "data").string()) + " -U linlangok -A trust -E UTF8 --no-locale -N")) {
        m_missing = "initdb failed (see " + (m_folder / "log").string() + ")";
        return;
    }
    if (!Start())
        m_missing = "the server did not start (see " + (m_folder / "log").string() + ")";
}

CPrivatePostgresServer::~CPrivatePostgresServer()
{
    Stop();
    std::error_code error;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, error);
}

bool CPrivatePostgresServer::RunAsOwner(const std::string& arguments) const
{
    const std::string command = (m_asNobody ? "runuser -u nobody -- " : "") + Quoted((m_binaries).string()) + "/"
        + arguments + " >> " + Quoted((m_folder / "log").string()) + " 2>&1";
    return std::system(command.c_str()) == 0;
}

bool CPrivatePostgresServer::Start()
{
    if (m_running)
        return true;
    const std::string options = "-p " + std::to_string(m_port) + " -k " + Quoted(m_folder.string())
        + " -c listen_addresses=127.0.0.1 -c max_connections=200" + (m_durable ? "" : " -c fsync=off");
    m_running = RunAsOwner("pg_ctl -D " + Quoted((m_folder / "data").string()) + " -o " + Quoted(options) + " -l "
        + Quoted((m_folder / "server.log").string()) + " -w -t 60 start");
    return m_running;
}

bool CPrivatePostgresServer::Stop()
{
    if (!m_running)
        return true;
    m_running = !RunAsOwner("pg_ctl -D " + Quoted((m_folder / "data").string()) + " -m fast -w -t 60 stop");
    return !m_running;
}

bool CPrivatePostgresServer::RunSql(const std::string& database, const std::string& sql) const
{
    return RunAsOwner("psql -q -h " + Quoted(m_folder.string()) + " -p " + std::to_string(m_port)
        + " -U linlangok -v ON_ERROR_STOP=1 -d " + Quoted(database) + " -c " + Quoted(sql));
}

std::string CPrivatePostgresServer::CreateDatabase(const std::string& name)
{
    RunSql("postgres", "CREATE DATABASE \"" + name + "\"");
    return "host=127.0.0.1 port=" + std::to_string(m_port) + " user=linlangok dbname=" + name;
}

} // namespace linlangok::test
