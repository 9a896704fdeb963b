// 手机点歌 against a running server on a free port: the route table, the token, the PIN, the
// limits and bad input, over raw sockets.
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/phone/PhoneAssets.h"
#include "core/phone/PhoneService.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/http/HttplibServer.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <thread>

namespace linlangok {
namespace {

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

class CSilentStarter final : public ISongStarter {
public:
    void StartSong(const std::filesystem::path&) override { }
};

struct Reply {
    int status = 0; // of the first answer
    std::vector<int> statuses; // of every answer, in order
    std::string head;
    std::string body;
};

class PhoneServerTest : public ::testing::Test {
protected:
    void Serve(PhoneLimits limits, HttpServerOptions options = {})
    {
        CatalogChanges changes;
        for (int i = 1; i <= 60; ++i) {
            CatalogSong& song = changes.added.emplace_back();
            song.path = "/songs/" + std::to_string(i) + ".mp3";
            song.title = u"歌" + Utf8ToUtf16(std::to_string(i));
            song.format = "mp3";
        }
        m_store.Apply(changes);
        auto index = std::make_shared<CCatalogIndex>(m_readings);
        index->Build(m_store.LoadSongs());
        m_service = std::make_unique<CPhoneService>(
            PhoneServiceParts {m_picker, nullptr, m_uiThread, [] { return false; }, kToken, "2468", limits});
        m_service->SetCatalogue(index);
        m_uiLoop = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                m_uiThread.WaitForTask(std::chrono::milliseconds(5));
                m_uiThread.RunPending();
            }
        });
        Listen(options);
    }

    // Starts the server again over the same service.
    void Listen(HttpServerOptions options)
    {
        options.address = "127.0.0.1";
        m_port = m_server.Start(options, [this](const HttpRequest& request) { return m_service->Handle(request); });
        m_service->SetServedAddresses({"127.0.0.1"}, m_port);
        m_host = "Host: 127.0.0.1:" + std::to_string(m_port) + "\r\n";
    }

    void TearDown() override
    {
        if (m_service)
            m_service->Close();
        m_server.Stop();
        m_uiLoop = {};
    }

    // A connection from the source address whose reads give up after 5 s, so that a server that
    // does not answer fails the test instead of holding it.
    int Connect(const std::string& from)
    {
        const int client = socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout {5, 0};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, from.c_str(), &address.sin_addr);
        bind(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        address.sin_port = htons(m_port);
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return client;
    }

    // Sends raw bytes from the source address and reads the answers until the server closes.
    Reply Send(const std::string& raw, const char* from = "127.0.0.1", bool finish = true)
    {
        const int client = Connect(from);
        send(client, raw.data(), raw.size(), MSG_NOSIGNAL);
        if (finish)
            shutdown(client, SHUT_WR);
        std::string answer;
        char buffer[4096];
        for (ssize_t got; (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<size_t>(got));
        close(client);
        Reply reply;
        const size_t split = answer.find("\r\n\r\n");
        reply.head = answer.substr(0, split);
        reply.body = split == std::string::npos ? "" : answer.substr(split + 4);
        for (size_t at = answer.find("HTTP/1.1 "); at != std::string::npos; at = answer.find("HTTP/1.1 ", at + 1)) {
            const std::string status = answer.substr(at + 9, 4);
            if (status.size() == 4 && status[3] == ' ' && std::all_of(status.begin(), status.end() - 1, ::isdigit))
                reply.statuses.push_back(std::stoi(status));
        }
        reply.status = reply.statuses.empty() ? 0 : reply.statuses.front();
        return reply;
    }

    Reply Call(const std::string& method, const std::string& target, const std::string& cookies,
        const std::string& body = {}, const char* from = "127.0.0.1", const std::string& headers = {})
    {
        const std::string type = method == "POST" ? "Content-Type: application/json\r\n" : "";
        return Send(method + " " + target + " HTTP/1.1\r\n" + (headers.empty() ? m_host + type : headers)
                + "Connection: close\r\nCookie: " + cookies + "\r\nContent-Length: " + std::to_string(body.size())
                + "\r\n\r\n" + body,
            from);
    }

    // A new phone: the page opened from the QR code's address, and its cookies.
    std::string NewGuest(const char* from = "127.0.0.1")
    {
        const Reply page = Call("GET", std::string("/?k=") + kToken, "", {}, from);
        EXPECT_EQ(page.status, 200);
        std::string cookies;
        const std::string_view kAttributes = "; Path=/; HttpOnly; SameSite=Strict";
        for (size_t at = page.head.find("Set-Cookie: "); at != std::string::npos;
             at = page.head.find("Set-Cookie: ", at + 1)) {
            const std::string cookie = page.head.substr(at + 12, 34);
            const bool wellFormed = (cookie.starts_with("k=") || cookie.starts_with("s="))
                && std::all_of(
                    cookie.begin() + 2, cookie.end(), [](char c) { return std::isxdigit(c) && !std::isupper(c); })
                && page.head.compare(at + 46, kAttributes.size(), kAttributes) == 0;
            if (cookie.size() == 34 && wellFormed)
                cookies += (cookies.empty() ? "" : "; ") + cookie;
        }
        EXPECT_EQ(std::count(cookies.begin(), cookies.end(), '='), 2) << page.head;
        return cookies;
    }

    test::CTemporaryFolder m_folder;
    test::CScriptedUserPrompts m_prompts;
    CSqliteCatalogStore m_store {m_folder.Path() / "Catalog.db"};
    CIcuTextReadings m_readings;
    CSilentStarter m_starter;
    test::CGrantedFileLocks m_locks;
    CSongPicker m_picker {m_store, m_starter, m_prompts, m_locks, m_folder.Path() / "SongQueue.txt"};
    CUiTaskQueue m_uiThread;
    std::unique_ptr<CPhoneService> m_service;
    CHttplibServer m_server;
    std::uint16_t m_port = 0;
    std::string m_host; // the Host header that names the server
    std::jthread m_uiLoop;
};

PhoneLimits Lenient()
{
    PhoneLimits limits;
    limits.requestsPerSecond = 100000;
    return limits;
}

TEST_F(PhoneServerTest, EveryRouteDeclaresItsAccessAndNoHostRouteIsOpenToAGuest)
{
    Serve(Lenient());
    const std::string guest = NewGuest();
    size_t hostRoutes = 0;
    for (const PhoneRoute& route : PhoneRoutes()) {
        SCOPED_TRACE(std::string(route.path));
        EXPECT_NE(route.access, ERouteAccess::Undeclared);
        if (route.action == EPhoneAction::Asset) {
            EXPECT_TRUE(std::any_of(PhoneAssets().begin(), PhoneAssets().end(),
                [&](const PhoneAsset& asset) { return asset.path == route.path; }));
        }
        if (route.access == ERouteAccess::Host) {
            ++hostRoutes;
            EXPECT_EQ(
                Call(std::string(route.method), std::string(route.path), guest, "{\"ticket\":1,\"step\":1}").status,
                403);
        }
    }
    EXPECT_EQ(hostRoutes, 5u);
}

TEST_F(PhoneServerTest, TokenAndPinGuardTheirRoutes)
{
    Serve(Lenient());
    const std::string host = NewGuest();
    const std::string other = NewGuest();
    const std::string forged = std::string("k=") + std::string(kToken).substr(0, 31) + "0";
    const struct {
        const char* method;
        std::string target;
        std::string cookies;
        std::string body;
        int status;
    } cases[] = {
        {"GET", "/", "", "", 403},
        {"GET", "/api/state", "", "", 403},
        {"GET", "/api/state", forged, "", 403},
        {"GET", "/api/state?k=" + std::string(kToken), "", "", 200},
        {"GET", "/api/state", host, "", 200},
        {"POST", "/api/host/login", host, "{\"pin\":\"1357\"}", 403},
        {"POST", "/api/host/login", host, "{\"pin\":\"2468\"}", 200},
        {"POST", "/api/host/skip", host, "{}", 200},
        {"POST", "/api/host/skip", other, "{}", 403},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.target + " " + test.cookies);
        const Reply reply = Call(test.method, test.target, test.cookies, test.body);
        EXPECT_EQ(reply.status, test.status);
        if (test.status == 403 && test.cookies != host && test.cookies != other) {
            EXPECT_EQ(reply.body.find("queue"), std::string::npos);
        }
    }
    // Five wrong PINs in a row lock the address out, the right one included.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Call("POST", "/api/host/login", other, "{\"pin\":\"0000\"}", "127.0.0.3").status, 403);
    EXPECT_EQ(Call("POST", "/api/host/login", other, "{\"pin\":\"2468\"}", "127.0.0.3").status, 429);
}

TEST_F(PhoneServerTest, LimitsHoldPicksResultsBodiesAndRate)
{
    PhoneLimits limits;
    limits.requestsPerSecond = 20;
    Serve(limits);
    const std::string guest = NewGuest();
    for (int id = 1; id <= 4; ++id)
        EXPECT_EQ(Call("POST", "/api/pick", guest, "{\"id\":" + std::to_string(id) + "}", "127.0.0.4").status,
            id <= 3 ? 200 : 409);
    const Reply state = Call("GET", "/api/state", guest, {}, "127.0.0.4");
    EXPECT_NE(state.body.find("\"picks\":3,\"limit\":3"), std::string::npos) << state.body;
    EXPECT_EQ(state.body.find("/songs/"), std::string::npos);
    const Reply found = Call("GET", "/api/search?q=", guest, {}, "127.0.0.5");
    EXPECT_EQ(std::count(found.body.begin(), found.body.end(), '{'), 51) << "50 results at most";
    EXPECT_EQ(found.body.find("/songs/"), std::string::npos) << "results carry ids, not paths";
    EXPECT_EQ(
        Call("POST", "/api/name", guest, "{\"name\":\"" + std::string(9000, 'a') + "\"}", "127.0.0.5").status, 413);
    std::vector<int> burst;
    for (int i = 0; i < 30; ++i)
        burst.push_back(Call("GET", "/api/state", guest, {}, "127.0.0.6").status);
    EXPECT_EQ(burst.front(), 200);
    EXPECT_EQ(burst.back(), 429);
}

// Guests who drop cookies, make sessions by the hundred, guess the PIN from many addresses or
// post from another site get no more than one honest phone.
TEST_F(PhoneServerTest, HostileGuestsGetNoMorePicksSessionsOrPinTriesThanOnePhone)
{
    PhoneLimits limits = Lenient();
    limits.maximumGuests = 16;
    Serve(limits);
    const std::string host = NewGuest("127.0.0.2");
    ASSERT_EQ(Call("POST", "/api/host/login", host, "{\"pin\":\"2468\"}", "127.0.0.2").status, 200);
    std::vector<int> picks;
    for (int id = 1; id <= 5; ++id)
        picks.push_back(
            Call("POST", "/api/pick", NewGuest("127.0.0.3"), "{\"id\":" + std::to_string(id) + "}", "127.0.0.3")
                .status);
    EXPECT_EQ(picks, (std::vector<int> {200, 200, 200, 409, 409})) << "three picks per address";
    EXPECT_EQ(Call("POST", "/api/pick", "k=" + std::string(kToken), "{\"id\":6}").status, 403) << "no session";
    for (int i = 0; i < 60; ++i)
        NewGuest(("127.0.1." + std::to_string(i % 10 + 1)).c_str());
    EXPECT_EQ(Call("POST", "/api/host/skip", host, "{}", "127.0.0.2").status, 200) << "the host's session stays";

    // The PIN: a locked session stays locked from another address, and wrong PINs from many
    // addresses lock out everyone.
    const std::string guesser = NewGuest("127.0.2.1");
    for (int i = 0; i < 5; ++i)
        Call("POST", "/api/host/login", guesser, "{\"pin\":\"0000\"}", "127.0.2.1");
    EXPECT_EQ(Call("POST", "/api/host/login", guesser, "{\"pin\":\"2468\"}", "127.0.2.2").status, 429);
    for (int address = 3; address <= 5; ++address) {
        const std::string from = "127.0.2." + std::to_string(address);
        const std::string guest = NewGuest(from.c_str());
        for (int i = 0; i < 5; ++i)
            Call("POST", "/api/host/login", guest, "{\"pin\":\"0000\"}", from.c_str());
    }
    EXPECT_EQ(Call("POST", "/api/host/login", NewGuest("127.0.2.9"), "{\"pin\":\"2468\"}", "127.0.2.9").status, 429);

    // Another site's page, a rebound DNS name, a post that is not JSON; a name that reverses text.
    const std::string guest = NewGuest();
    const auto rename = [&](const std::string& headers) {
        return Call("POST", "/api/name", guest, "{\"name\":\"x\"}", "127.0.0.1", headers).status;
    };
    EXPECT_EQ(rename("Host: evil.example:" + std::to_string(m_port) + "\r\n"), 403);
    EXPECT_EQ(rename(m_host + "Origin: http://evil.example\r\nContent-Type: application/json\r\n"), 403);
    EXPECT_EQ(rename(m_host + "Content-Type: text/plain\r\n"), 415);
    ASSERT_EQ(Call("POST", "/api/name", guest, "{\"name\":\"\\u202eabc\"}").status, 200);
    EXPECT_NE(Call("GET", "/api/state", guest).body.find("\"name\":\"abc\""), std::string::npos);
}

TEST_F(PhoneServerTest, BadInputGetsAClearClientError)
{
    HttpServerOptions options;
    options.requestTimeout = std::chrono::milliseconds(300);
    Serve(Lenient(), options);
    const std::string guest = NewGuest();
    const std::string cookie = m_host + "Content-Type: application/json\r\nCookie: " + guest + "\r\n";
    const struct {
        std::string raw;
        int status;
    } cases[] = {
        {"POST /api/pick HTTP/1.1\r\n" + cookie + "Content-Length: 5\r\n\r\n{\"id\"", 400},
        {"POST /api/pick HTTP/1.1\r\n" + cookie + "Content-Length: 4\r\n\r\n[17]", 400},
        {"POST /api/name HTTP/1.1\r\n" + cookie + "Content-Length: 14\r\n\r\n{\"name\":\"\\u0000\"}", 400},
        {"POST /api/pick HTTP/1.1\r\n" + cookie + "Content-Length: 99999999\r\n\r\n{}", 413},
        {"POST /api/pick HTTP/1.1\r\n" + cookie + "Content-Length: 2\r\nContent-Length: 9\r\n\r\n{}", 400},
        {"POST /api/pick HTTP/1.1\r\n" + cookie + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n", 411},
        {"GET /../../etc/passwd HTTP/1.1\r\n" + cookie + "\r\n", 400},
        {"GET /%2e%2e/etc/passwd HTTP/1.1\r\n" + cookie + "\r\n", 400},
        {"GET /phone.js%00.png HTTP/1.1\r\n" + cookie + "\r\n", 400},
        {"GET /api/search?q=a%00b HTTP/1.1\r\n" + cookie + "\r\n", 400},
        {"GET /etc/passwd HTTP/1.1\r\n" + cookie + "\r\n", 404},
        {"DELETE /api/pick HTTP/1.1\r\n" + cookie + "\r\n", 405},
        {"GET /api/state HTTP/1.1\r\n" + cookie + "X: " + std::string(20000, 'x') + "\r\n\r\n", 400},
        {"GARBAGE\0\r\n\r\n", 400},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.raw.substr(0, 40));
        EXPECT_EQ(Send(test.raw).status, test.status);
    }
    // A client that stops halfway through its headers is answered 408 and cut off.
    EXPECT_EQ(Send("GET /api/state HTTP/1.1\r\n" + cookie, "127.0.0.1", false).status, 408);
}

TEST_F(PhoneServerTest, PipelinedRequestsAreAnsweredInOrder)
{
    Serve(Lenient());
    const std::string head = m_host + "Cookie: " + NewGuest() + "\r\n";
    const Reply reply = Send("GET /etc/passwd HTTP/1.1\r\n" + head + "\r\nPOST /api/pick HTTP/1.1\r\n" + head
        + "Content-Type: application/json\r\nContent-Length: 4\r\n\r\n[17]GET /api/state HTTP/1.1\r\n" + head
        + "Connection: close\r\n\r\n");
    EXPECT_EQ(reply.statuses, (std::vector<int> {404, 400, 200}));
}

TEST_F(PhoneServerTest, SlowConnectionsFromManyAddressesDoNotShutOutPhones)
{
    Serve(Lenient());
    HttpServerOptions options;
    options.requestTimeout = std::chrono::seconds(60);
    // Within the bound every slow connection holds; beyond it the oldest make room.
    for (const size_t connections : {size_t {512}, size_t {300}}) {
        SCOPED_TRACE(connections);
        options.connections = connections;
        Listen(options);
        std::vector<int> slow;
        for (int address = 1; address <= 20; ++address) {
            for (int i = 0; i < 16; ++i) {
                slow.push_back(Connect("127.0.1." + std::to_string(address)));
                const std::string part = "GET /api/state HTTP/1.1\r\n" + m_host + "Cook";
                send(slow.back(), part.data(), part.size(), MSG_NOSIGNAL);
            }
        }
        EXPECT_EQ(Call("GET", "/api/state", "", {}, "127.0.1.20").status, 429);
        for (const char* phone : {"127.0.0.7", "127.0.0.8", "127.0.0.9"})
            EXPECT_EQ(Call("GET", std::string("/api/state?k=") + kToken, "", {}, phone).status, 200) << phone;
        for (const int socket : slow)
            close(socket);
    }
}

} // namespace
} // namespace linlangok
