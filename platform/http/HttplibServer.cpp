#include "platform/http/HttplibServer.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kRequestsPerConnection = 100;
constexpr size_t kHeaderBytes = 16 * 1024; // the request line and headers together, at most
constexpr std::chrono::seconds kWriteTimeout {5};
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

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

void LocalEndpoint(int socket, std::string& ip, int& port)
{
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    const int result = getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ip = result == 0 ? AddressText(address) : std::string();
    port = result == 0 ? AddressPort(address) : -1;
}

// Sends what the socket takes at once: the short answers of the server's own loop, which never waits.
void SendNow(int socket, std::string_view status)
{
    const std::string answer = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/plain\r\nContent-Length: "
        + std::to_string(status.size() + 1) + "\r\nConnection: close\r\n\r\n" + std::string(status) + "\n";
    send(socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// Reads and drops what has arrived before closing: a socket closed over unread bytes is reset,
// and the reset can cost the client the answer it was sent.
void CloseSocket(int socket)
{
    char scrap[16384];
    for (size_t dropped = 0; dropped < 4 * sizeof scrap;) {
        const ssize_t got = recv(socket, scrap, sizeof scrap, MSG_DONTWAIT);
        if (got <= 0)
            break;
        dropped += static_cast<size_t>(got);
    }
    close(socket);
}

bool Named(std::string_view text, std::string_view name)
{
    return text.size() == name.size() && strncasecmp(text.data(), name.data(), name.size()) == 0;
}

// Where the first request among the bytes received ends, judged from its head.
struct RequestExtent {
    size_t length = 0; // the request's bytes, head and body; 0 while they have not all arrived
    std::string_view refusal; // the status that refuses the request, when not empty
    bool headOnly = false; // the body is over budget: the library answers 413 from the head alone
    bool expectsContinue = false; // the head is whole and asks for 100 Continue before the body
};

RequestExtent MeasureRequest(std::string_view received, size_t maximumBodyBytes)
{
    RequestExtent extent;
    const size_t headEnd = received.substr(0, kHeaderBytes).find("\r\n\r\n");
    if (headEnd == std::string_view::npos) {
        if (received.size() >= kHeaderBytes)
            extent.refusal = "400 Bad Request";
        return extent;
    }
    std::optional<std::uint64_t> bodyBytes;
    const std::string_view head = received.substr(0, headEnd + 2);
    for (size_t start = head.find("\r\n") + 2; start < head.size();) {
        const size_t stop = head.find("\r\n", start);
        const std::string_view line = head.substr(start, stop - start);
        start = stop + 2;
        const size_t colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = colon == std::string_view::npos ? "" : Trimmed(line.substr(colon + 1), " \t");
        if (Named(name, "Transfer-Encoding")) {
            extent.refusal = "411 Length Required";
            return extent;
        }
        if (Named(name, "Expect"))
            extent.expectsContinue = Named(value, "100-continue");
        if (Named(name, "Content-Length")) {
            std::uint64_t length = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
            if (value.empty() || error != std::errc() || end != value.data() + value.size()
                || bodyBytes.value_or(length) != length) {
                extent.refusal = "400 Bad Request";
                return extent;
            }
            bodyBytes = length;
        }
    }
    const size_t headBytes = headEnd + 4;
    if (bodyBytes.value_or(0) > maximumBodyBytes) {
        extent.length = headBytes;
        extent.headOnly = true;
    } else if (received.size() >= headBytes + bodyBytes.value_or(0)) {
        extent.length = headBytes + static_cast<size_t>(bodyBytes.value_or(0));
    }
    return extent;
}

// An open connection. The loop owns it; while the pool serves a request on it, only the pool's
// thread touches it beyond its socket.
struct Connection {
    Connection(int socket, std::string address, int port, Clock::time_point now)
        : socket(socket)
        , address(std::move(address))
        , port(port)
        , waitingSince(now)
    {
    }
    ~Connection() { CloseSocket(socket); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const int socket;
    const std::string address;
    const int port;
    std::string received; // the bytes of the current request and of any sent after it
    size_t served = 0; // requests answered
    Clock::time_point waitingSince; // since it opened or its last answer went out
    Clock::time_point firstByte; // the current request's, when some of it has arrived
    bool busy = false; // in the pool; changed by the loop alone
    bool keep = true; // the pool's verdict: false when the connection closes after its answer
    bool continued = false; // 100 Continue sent for the current request
};

// One request's stream for the library: it reads the request's bytes, all received already, and
// writes the answer to the connection, each write waiting at most kWriteTimeout for room.
class CReceivedRequestStream final : public httplib::Stream {
public:
    CReceivedRequestStream(const Connection& connection, std::string_view request)
        : m_connection(connection)
        , m_request(request)
        , m_continued(connection.continued)
    {
    }

    bool is_readable() const override { return !m_request.empty(); }
    bool is_writable() const override { return WaitFor(m_connection.socket, POLLOUT, kWriteTimeout); }

    ssize_t read(char* ptr, size_t size) override
    {
        const size_t taken = std::min(size, m_request.size());
        std::memcpy(ptr, m_request.data(), taken);
        m_request.remove_prefix(taken);
        return static_cast<ssize_t>(taken);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        // The loop said 100 Continue already, when the head came before the body.
        if (m_continued && std::string_view(ptr, size) == kContinue) {
            m_continued = false;
            return static_cast<ssize_t>(size);
        }
        for (;;) {
            const ssize_t sent = send(m_connection.socket, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0 || (errno != EAGAIN && errno != EINTR))
                return sent;
            if (errno == EAGAIN && !is_writable())
                return -1;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        ip = m_connection.address;
        port = m_connection.port;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        LocalEndpoint(m_connection.socket, ip, port);
    }
    socket_t socket() const override { return m_connection.socket; }

private:
    const Connection& m_connection;
    std::string_view m_request;
    bool m_continued;
};

} // namespace

// The library's routing and answers under a loop of this class's own. One thread polls the
// listening socket and every connection, buffers each request until it is whole, and holds the
// limits (connections per address and in all, the time and bytes of a request, idle time); only
// a whole request goes to the pool, whose thread runs the library's process_request over it. A
// slow or silent connection thus costs a buffer, never a thread.
class CGuardedHttplibServer final : public httplib::Server {
public:
    explicit CGuardedHttplibServer(const HttpServerOptions& options)
        : m_options(options)
    {
        set_payload_max_length(options.maximumBodyBytes);
        // What the library tells clients in its Keep-Alive header; the loop keeps to it.
        set_keep_alive_max_count(kRequestsPerConnection);
        set_keep_alive_timeout(
            std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(options.idleTimeout).count()));
    }

    // Ends the loop, cuts every connection short and waits for the requests in the pool.
    ~CGuardedHttplibServer() override
    {
        if (m_loop.joinable()) {
            m_stopping = true;
            Wake();
            m_loop.join();
            m_pool->shutdown();
        }
        m_connections.clear();
        for (const int descriptor : {m_listener, m_wake})
            if (descriptor >= 0)
                close(descriptor);
    }

    // Listens on the address and port (0: any free one); returns the port, or 0 with errno set.
    int Listen(const std::string& address, int port)
    {
        errno = 0;
        if (port == 0)
            port = bind_to_any_port(address);
        else if (!bind_to_port(address, port))
            port = 0;
        if (port <= 0)
            return 0;
        // The library listens with a backlog of 5: phones that connect at once beyond it would
        // wait a second for their connection to be retried.
        m_listener = svr_sock_.exchange(INVALID_SOCKET);
        ::listen(m_listener, SOMAXCONN);
        fcntl(m_listener, F_SETFL, fcntl(m_listener, F_GETFL) | O_NONBLOCK);
        m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_wake < 0)
            return 0;
        m_pool = std::make_unique<httplib::ThreadPool>(std::max<size_t>(1, m_options.threads));
        m_loop = std::thread([this] { Loop(); });
        return port;
    }

private:
    void Wake() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
    }

    void Loop()
    {
        std::vector<pollfd> polled;
        std::vector<Connection*> watched;
        while (!m_stopping) {
            const Clock::time_point now = Clock::now();
            const bool accepting = now >= m_acceptAfter
                && (m_connections.size() < m_options.connections || m_busy < m_connections.size());
            polled.assign({{m_wake, POLLIN, 0}, {accepting ? m_listener : -1, POLLIN, 0}});
            watched.clear();
            Clock::time_point next = now < m_acceptAfter ? m_acceptAfter : Clock::time_point::max();
            for (const auto& connection : m_connections) {
                if (connection->busy)
                    continue;
                polled.push_back({connection->socket, POLLIN, 0});
                watched.push_back(connection.get());
                next = std::min(next, Deadline(*connection));
            }
            const int timeout = next == Clock::time_point::max()
                ? -1
                : static_cast<int>(
                    std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
            if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR)
                break;
            for (size_t i = 0; i < watched.size(); ++i)
                if (polled[i + 2].revents)
                    Receive(*watched[i]);
            if (polled[0].revents)
                TakeBack();
            if (polled[1].revents)
                Accept();
            Expire();
        }
        // Requests in the pool end at their next write; the pool finishes them.
        for (const auto& connection : m_connections)
            shutdown(connection->socket, SHUT_RDWR);
    }

    Clock::time_point Deadline(const Connection& connection) const
    {
        if (!connection.received.empty())
            return connection.firstByte + m_options.requestTimeout;
        return connection.waitingSince + (connection.served == 0 ? m_options.requestTimeout : m_options.idleTimeout);
    }

    void Accept()
    {
        while (m_connections.size() < m_options.connections || m_busy < m_connections.size()) {
            sockaddr_storage address {};
            socklen_t length = sizeof address;
            const int socket
                = accept4(m_listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (socket < 0) {
                // Out of descriptors, the listening socket stays readable: look again a little later.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    m_acceptAfter = Clock::now() + std::chrono::milliseconds(100);
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return;
            }
            std::string text = AddressText(address);
            const auto count = m_perAddress.try_emplace(text, 0).first;
            if (count->second >= m_options.connectionsPerAddress) {
                if (count->second == 0)
                    m_perAddress.erase(count);
                SendNow(socket, "429 Too Many Requests");
                CloseSocket(socket);
                continue;
            }
            ++count->second;
            // Answers leave in one segment each, not held back until the client acknowledges the last.
            const int on = 1;
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            if (m_connections.size() >= m_options.connections)
                Close(LongestWaiting());
            m_connections.push_back(
                std::make_unique<Connection>(socket, std::move(text), AddressPort(address), Clock::now()));
        }
    }

    Connection& LongestWaiting() const
    {
        Connection* found = nullptr;
        for (const auto& connection : m_connections)
            if (!connection->busy && (!found || connection->waitingSince < found->waitingSince))
                found = connection.get();
        return *found;
    }

    void Receive(Connection& connection)
    {
        char bytes[16384];
        ssize_t got;
        do {
            got = recv(connection.socket, bytes, sizeof bytes, MSG_DONTWAIT);
        } while (got < 0 && errno == EINTR);
        if (got < 0 && errno == EAGAIN)
            return;
        // The client ended its side with a request unfinished.
        if (got == 0 && !connection.received.empty())
            return Refuse(connection, "400 Bad Request");
        if (got <= 0)
            return Close(connection);
        if (connection.received.empty())
            connection.firstByte = Clock::now();
        connection.received.append(bytes, static_cast<size_t>(got));
        Dispatch(connection);
    }

    // Hands the connection's first request to the pool once it is whole.
    void Dispatch(Connection& connection)
    {
        const RequestExtent extent = MeasureRequest(connection.received, m_options.maximumBodyBytes);
        if (!extent.refusal.empty())
            return Refuse(connection, extent.refusal);
        if (extent.length == 0) {
            if (extent.expectsContinue && !connection.continued) {
                send(connection.socket, kContinue.data(), kContinue.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                connection.continued = true;
            }
            return;
        }
        connection.busy = true;
        ++m_busy;
        m_pool->enqueue([this, &connection, extent] { Serve(connection, extent); });
    }

    // On the pool's thread.
    void Serve(Connection& connection, const RequestExtent& extent)
    {
        const bool last = extent.headOnly || connection.served + 1 >= kRequestsPerConnection;
        bool closed = false;
        CReceivedRequestStream stream(connection, std::string_view(connection.received).substr(0, extent.length));
        const bool answered = !m_stopping && process_request(stream, last, closed, nullptr);
        connection.keep = answered && !closed && !last;
        connection.received.erase(0, extent.length);
        ++connection.served;
        connection.continued = false;
        connection.waitingSince = connection.firstByte = Clock::now();
        {
            std::lock_guard lock(m_lock);
            m_served.push_back(&connection);
        }
        Wake();
    }

    // Takes back the connections whose answers went out; the next request may be there already.
    void TakeBack()
    {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t read = ::read(m_wake, &count, sizeof count);
        std::vector<Connection*> served;
        {
            std::lock_guard lock(m_lock);
            served.swap(m_served);
        }
        for (Connection* connection : served) {
            connection->busy = false;
            --m_busy;
            if (!connection->keep)
                Close(*connection);
            else if (!connection->received.empty())
                Dispatch(*connection);
        }
    }

    // A fresh connection silent too long, or a request not whole in time, gets 408; an idle
    // kept-alive connection just closes.
    void Expire()
    {
        const Clock::time_point now = Clock::now();
        std::vector<Connection*> expired;
        for (const auto& connection : m_connections)
            if (!connection->busy && Deadline(*connection) <= now)
                expired.push_back(connection.get());
        for (Connection* connection : expired) {
            if (connection->served == 0 || !connection->received.empty())
                Refuse(*connection, "408 Request Timeout");
            else
                Close(*connection);
        }
    }

    void Refuse(Connection& connection, std::string_view status)
    {
        SendNow(connection.socket, status);
        Close(connection);
    }

    void Close(Connection& connection)
    {
        const auto count = m_perAddress.find(connection.address);
        if (--count->second == 0)
            m_perAddress.erase(count);
        const auto found = std::find_if(m_connections.begin(), m_connections.end(),
            [&](const std::unique_ptr<Connection>& open) { return open.get() == &connection; });
        std::swap(*found, m_connections.back());
        m_connections.pop_back();
    }

    HttpServerOptions m_options;
    int m_listener = -1;
    int m_wake = -1; // an eventfd: the pool and the destructor wake the loop through it
    std::atomic<bool> m_stopping = false;
    std::unique_ptr<httplib::TaskQueue> m_pool;
    // The loop's alone.
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::map<std::string, size_t> m_perAddress;
    size_t m_busy = 0;
    Clock::time_point m_acceptAfter;
    // Connections the pool has answered on, for the loop to take back.
    std::mutex m_lock;
    std::vector<Connection*> m_served;
    std::thread m_loop;
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
    const int port = server->Listen(options.address, options.port);
    if (port == 0) {
        const std::string reason = errno ? std::strerror(errno) : "unknown error";
        throw std::runtime_error(
            FormattedUtf8(TrUtf8("CHttplibServer", "无法在 %1 的端口 %2 上启动手机点歌服务（%3）。"),
                {options.address, std::to_string(options.port), reason}));
    }
    m_server = std::move(server);
    return static_cast<std::uint16_t>(port);
}

void CHttplibServer::Stop()
{
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
