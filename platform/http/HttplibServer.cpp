#include "platform/http/HttplibServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kRequestsPerConnection = 100;
constexpr size_t kHeaderBytes = 16 * 1024; // the request line and headers together, at most
constexpr std::chrono::seconds kWriteTimeout {5};

// Waits until the socket can be read or written; false when the time ran out or polling failed.
bool WaitFor(int socket, short events, Clock::duration timeout)
{
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    pollfd descriptor {socket, events, 0};
    int ready;
    do {
        ready = poll(&descriptor, 1, static_cast<int>(std::max<long long>(0, milliseconds)));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

std::string AddressText(const sockaddr_storage& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    return text;
}

int AddressPort(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

void Endpoint(int socket, bool peer, std::string& ip, int& port)
{
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    const int result = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                            : getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ip = result == 0 ? AddressText(address) : std::string();
    port = result == 0 ? AddressPort(address) : -1;
}

void SendAll(int socket, std::string_view bytes)
{
    while (!bytes.empty() && WaitFor(socket, POLLOUT, kWriteTimeout)) {
        const ssize_t sent = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
}

void SendStatus(int socket, std::string_view status)
{
    SendAll(socket,
        "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/plain\r\nContent-Length: "
            + std::to_string(status.size() + 1) + "\r\nConnection: close\r\n\r\n" + std::string(status) + "\n");
}

// A connection's stream for one request: every read waits at most until the request's deadline,
// and the request may send at most its byte budget. Reads are buffered, since the library reads
// the request line and headers a byte at a time.
class CDeadlineStream final : public httplib::Stream {
public:
    CDeadlineStream(int socket, Clock::time_point deadline, size_t budget)
        : m_socket(socket)
        , m_deadline(deadline)
        , m_budget(budget)
    {
    }

    bool TimedOut() const { return m_timedOut; }
    bool Answered() const { return m_written > 0; }

    bool is_readable() const override
    {
        return m_start < m_end || WaitFor(m_socket, POLLIN, m_deadline - Clock::now());
    }
    bool is_writable() const override { return WaitFor(m_socket, POLLOUT, kWriteTimeout); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (m_start == m_end) {
            if (!WaitFor(m_socket, POLLIN, m_deadline - Clock::now())) {
                m_timedOut = Clock::now() >= m_deadline;
                return -1;
            }
            const size_t wanted = std::min(sizeof m_buffer, m_budget - std::min(m_budget, m_received));
            if (wanted == 0)
                return -1;
            ssize_t received;
            do {
                received = recv(m_socket, m_buffer, wanted, 0);
            } while (received < 0 && errno == EINTR);
            if (received <= 0)
                return received;
            m_received += static_cast<size_t>(received);
            m_start = 0;
            m_end = static_cast<size_t>(received);
        }
        const size_t taken = std::min(size, m_end - m_start);
        std::memcpy(ptr, m_buffer + m_start, taken);
        m_start += taken;
        return static_cast<ssize_t>(taken);
    }

    // A request that ran out of time is answered 408 by the caller, not by the library.
    ssize_t write(const char* ptr, size_t size) override
    {
        if (m_timedOut || !is_writable())
            return -1;
        const ssize_t sent = send(m_socket, ptr, size, MSG_NOSIGNAL);
        if (sent > 0)
            m_written += static_cast<size_t>(sent);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { Endpoint(m_socket, true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Endpoint(m_socket, false, ip, port); }
    socket_t socket() const override { return m_socket; }

private:
    int m_socket;
    Clock::time_point m_deadline;
    size_t m_budget;
    size_t m_received = 0;
    size_t m_written = 0;
    bool m_timedOut = false;
    char m_buffer[4096];
    size_t m_start = 0;
    size_t m_end = 0;
};

} // namespace

// The library's server with its connections served by this class's own loop: the library reads
// and answers each request (process_request), the loop bounds the time and bytes of each and the
// connections of each address, and can cut every connection short when the server stops.
class CGuardedHttplibServer final : public httplib::Server {
public:
    explicit CGuardedHttplibServer(const HttpServerOptions& options)
        : m_options(options)
    {
        const size_t threads = std::max<size_t>(1, options.threads);
        new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
        set_payload_max_length(options.maximumBodyBytes);
        // What the library tells clients in its Keep-Alive header; the loop below keeps to it.
        set_keep_alive_max_count(kRequestsPerConnection);
        set_keep_alive_timeout(
            std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(options.idleTimeout).count()));
    }

    // The library listens with a backlog of 5: phones that connect at once beyond it wait a
    // second for their connection to be retried. Listening again widens it.
    void WidenBacklog() { ::listen(svr_sock_, SOMAXCONN); }

    // Ends every open connection's wait at once.
    void CutConnections()
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
        for (const int socket : m_sockets)
            shutdown(socket, SHUT_RDWR);
    }

private:
    bool process_and_close_socket(socket_t socket) override
    {
        std::string address;
        int port = 0;
        Endpoint(socket, true, address, port);
        bool served = false;
        if (Enter(socket, address)) {
            served = Serve(socket);
            Leave(socket, address);
        } else {
            SendStatus(socket, "429 Too Many Requests");
        }
        shutdown(socket, SHUT_RDWR);
        close(socket);
        return served;
    }

    bool Serve(int socket)
    {
        bool served = true;
        for (size_t count = 0; count < kRequestsPerConnection && svr_sock_ != INVALID_SOCKET; ++count) {
            if (!WaitFor(socket, POLLIN, count == 0 ? m_options.requestTimeout : m_options.idleTimeout)) {
                if (count == 0)
                    SendStatus(socket, "408 Request Timeout");
                break;
            }
            CDeadlineStream stream(
                socket, Clock::now() + m_options.requestTimeout, kHeaderBytes + m_options.maximumBodyBytes);
            bool closed = false;
            served = process_request(stream, count + 1 == kRequestsPerConnection, closed, nullptr);
            if (stream.TimedOut() && !stream.Answered()) {
                SendStatus(socket, "408 Request Timeout");
                return false;
            }
            if (!served || closed)
                break;
        }
        return served;
    }

    bool Enter(int socket, const std::string& address)
    {
        std::lock_guard lock(m_lock);
        size_t& count = m_perAddress[address];
        if (m_stopping || count >= m_options.connectionsPerAddress) {
            if (count == 0)
                m_perAddress.erase(address);
            return false;
        }
        ++count;
        m_sockets.insert(socket);
        return true;
    }

    void Leave(int socket, const std::string& address)
    {
        std::lock_guard lock(m_lock);
        if (--m_perAddress[address] == 0)
            m_perAddress.erase(address);
        m_sockets.erase(socket);
    }

    HttpServerOptions m_options;
    std::mutex m_lock;
    bool m_stopping = false;
    std::map<std::string, size_t> m_perAddress;
    std::set<int> m_sockets;
};

CHttplibServer::CHttplibServer() = default;

CHttplibServer::~CHttplibServer()
{
    Stop();
}

std::uint16_t CHttplibServer::Start(const HttpServerOptions& options, HttpHandler handler)
{
    Stop();
    auto server = std::make_unique<CGuardedHttplibServer>(options);
    const auto serve = [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        HttpRequest exchange {request.method, request.path, {}, request.get_header_value("Cookie"),
            request.get_header_value("Host"), request.get_header_value("Origin"),
            request.get_header_value("Content-Type"), request.body, request.remote_addr};
        for (const auto& [key, value] : request.params)
            exchange.parameters.emplace_back(key, value);
        const HttpResponse answer = handler(exchange);
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers)
            response.set_header(name, value);
        response.set_content(answer.body, answer.contentType);
    };
    for (auto route : {&httplib::Server::Get, &httplib::Server::Options})
        (server.get()->*route)(".*", serve);
    using ContentRoute = httplib::Server& (httplib::Server::*)(const std::string&, httplib::Server::Handler);
    for (ContentRoute route :
        {static_cast<ContentRoute>(&httplib::Server::Post), static_cast<ContentRoute>(&httplib::Server::Put),
            static_cast<ContentRoute>(&httplib::Server::Patch), static_cast<ContentRoute>(&httplib::Server::Delete)})
        (server.get()->*route)(".*", serve);
    errno = 0;
    int port = options.port;
    const bool bound = options.port == 0 ? (port = server->bind_to_any_port(options.address)) > 0
                                         : server->bind_to_port(options.address, options.port);
    if (!bound) {
        const std::string reason = errno ? std::strerror(errno) : "unknown error";
        throw std::runtime_error("无法在 " + options.address + " 的端口 " + std::to_string(options.port)
            + " 上启动手机点歌服务（" + reason + "）。");
    }
    server->WidenBacklog();
    m_server = std::move(server);
    m_listener = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    // Stop stops only a server that runs.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return static_cast<std::uint16_t>(port);
}

void CHttplibServer::Stop()
{
    if (!m_server)
        return;
    m_server->stop();
    m_server->CutConnections();
    m_listener.join();
    m_server.reset();
}

std::vector<std::string> LanAddresses()
{
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return {};
    std::vector<std::string> found;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP)
            || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        sockaddr_storage address {};
        std::memcpy(&address, entry->ifa_addr, sizeof(sockaddr_in));
        found.push_back(AddressText(address));
    }
    freeifaddrs(interfaces);
    const auto isPrivate = [](const std::string& address) {
        unsigned a = 0;
        unsigned b = 0;
        std::sscanf(address.c_str(), "%u.%u", &a, &b);
        return a == 10 || (a == 172 && b >= 16 && b < 32) || (a == 192 && b == 168);
    };
    std::stable_partition(found.begin(), found.end(), isPrivate);
    return found;
}

} // namespace linlangok
