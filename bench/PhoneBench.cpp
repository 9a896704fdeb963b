// 手机点歌 under load: 50 phones, each from its own loopback address over a kept-alive connection,
// ask the server for the queue all at the same moment, twice a second (four times the page's
// rate), and every fourth round also search a catalogue of 20,000 songs. Reports the latency of
// the requests (p50, p95, p99, maximum; goal p99 ≤ 100 ms). Runs the audible-timing benchmark
// (256-frame buffers) alone first and then again while the phones poll, so that its jitter
// figures can be compared. With --slowloris the phones poll while 16 connections from each of 20
// other addresses send part of a request head and then nothing (whichever the server closes is
// opened again at once), as a hostile guest on the venue's Wi-Fi would. Figures only.
//
// bench_phone [--seconds N] [--phones N] [--no-audible] [--slowloris]   (default 20 s, 50 phones)

#include "bench/support/SilentPrompts.h"
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/phone/PhoneService.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/http/HttplibServer.h"
#include "platform/pinyin/IcuTextReadings.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kToken = "00112233445566778899aabbccddeeff";

class CBenchStore final : public ICatalogStore {
public:
    std::vector<std::filesystem::path> Folders() override { return {}; }
    void AddFolder(const std::filesystem::path&) override { }
    void RemoveFolder(const std::filesystem::path&) override { }
    std::vector<CatalogSong> LoadSongs() override { return {}; }
    std::vector<SongFile> LoadUnreadable() override { return {}; }
    void Apply(CatalogChanges&) override { }
    void CountSung(std::int64_t) override { }
};

class CBenchStarter final : public ISongStarter {
public:
    void StartSong(const std::filesystem::path&) override { }
};

std::vector<CatalogSong> MakeSongs(size_t count, CIcuTextReadings& readings)
{
    const char16_t* singers[] = {u"邓丽君", u"周杰伦", u"王菲", u"陈奕迅", u"张学友", u"孙燕姿", u"五月天"};
    const char16_t* words[]
        = {u"月亮", u"代表", u"我的", u"心", u"晴天", u"甜蜜", u"小城", u"故事", u"海阔", u"天空", u"十年"};
    std::vector<CatalogSong> songs(count);
    for (size_t i = 0; i < count; ++i) {
        CatalogSong& song = songs[i];
        song.id = static_cast<std::int64_t>(i + 1);
        song.path = "/songs/" + std::to_string(i) + ".mp3";
        song.title = std::u16string(words[i % 11]) + words[(i / 11) % 11] + Utf8ToUtf16(std::to_string(i));
        song.singer = singers[i % 7];
        song.format = "mp3";
        song.titleReadings = ComposeReadings(readings.Fold(song.title), readings);
        song.singerReadings = ComposeReadings(readings.Fold(song.singer), readings);
    }
    return songs;
}

// One phone: a kept-alive connection from its own loopback address.
class CPhone {
public:
    CPhone(int number, std::uint16_t port)
        : m_number(number)
        , m_port(port)
    {
    }
    ~CPhone() { Close(); }

    // The request's time until its whole answer arrived; negative when it failed.
    double Request(const std::string& target)
    {
        const auto started = Clock::now();
        if (m_socket < 0 && !Connect())
            return -1;
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_port)
            + "\r\nCookie: k=" + kToken + "\r\n\r\n";
        if (send(m_socket, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
            return Fail();
        std::string answer;
        char buffer[16384];
        size_t needed = std::string::npos;
        while (needed == std::string::npos || answer.size() < needed) {
            const ssize_t got = recv(m_socket, buffer, sizeof buffer, 0);
            if (got <= 0)
                return Fail();
            answer.append(buffer, static_cast<size_t>(got));
            const size_t head = answer.find("\r\n\r\n");
            const size_t length = answer.find("Content-Length: ");
            if (needed == std::string::npos && head != std::string::npos && length != std::string::npos)
                needed = head + 4 + std::strtoul(answer.c_str() + length + 16, nullptr, 10);
        }
        if (answer.compare(0, 12, "HTTP/1.1 200") != 0)
            return Fail();
        return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    }

private:
    bool Connect()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7F000000u | static_cast<std::uint32_t>(10 + m_number));
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        return connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 || Fail() >= 0;
    }

    double Fail()
    {
        Close();
        return -1;
    }

    void Close()
    {
        if (m_socket >= 0)
            close(m_socket);
        m_socket = -1;
    }

    int m_number;
    std::uint16_t m_port;
    int m_socket = -1;
};

// Slow connections that hold on: each sends part of a request head from 127.0.1.1 … 127.0.1.20 and
// then nothing; one that the server closes (or answers) is replaced at once.
class CSlowloris {
public:
    static constexpr int kAddresses = 20;
    static constexpr int kPerAddress = 16;

    explicit CSlowloris(std::uint16_t port)
        : m_port(port)
        , m_thread([this](std::stop_token stop) { Run(stop); })
    {
    }

    int Reopened() const { return m_reopened; }

private:
    int Open(int address) const
    {
        const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in from {};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000100u | static_cast<std::uint32_t>(address));
        bind(socket, reinterpret_cast<sockaddr*>(&from), sizeof from);
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(m_port);
        connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to);
        const std::string part = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_port) + "\r\nCook";
        send(socket, part.data(), part.size(), MSG_NOSIGNAL);
        return socket;
    }

    void Run(std::stop_token stop)
    {
        std::vector<pollfd> sockets;
        for (int i = 0; i < kAddresses * kPerAddress; ++i)
            sockets.push_back({Open(1 + i / kPerAddress), POLLIN, 0});
        while (!stop.stop_requested()) {
            poll(sockets.data(), sockets.size(), 100);
            for (size_t i = 0; i < sockets.size(); ++i) {
                if (!sockets[i].revents)
                    continue;
                close(sockets[i].fd);
                sockets[i].fd = Open(1 + static_cast<int>(i) / kPerAddress);
                ++m_reopened;
            }
        }
        for (const pollfd& socket : sockets)
            close(socket.fd);
    }

    std::uint16_t m_port;
    std::atomic<int> m_reopened = 0;
    std::jthread m_thread;
};

double Percentile(std::vector<double>& values, double fraction)
{
    if (values.empty())
        return 0;
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(at), values.end());
    return values[at];
}

void RunAudible(const char* path, int seconds, const char* when)
{
    const std::string command = std::string(path) + " --seconds " + std::to_string(seconds) + " --buffer 256";
    std::printf("audible timing %s:\n", when);
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0)
        std::printf("  (the audible-timing benchmark failed)\n");
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    int seconds = 20;
    int phones = 50;
    bool slowloris = false;
    const char* audible = LINLANGOK_AUDIBLE_BENCH;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-audible") == 0)
            audible = nullptr;
        else if (std::strcmp(argv[i], "--slowloris") == 0)
            slowloris = true;
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--phones") == 0 && i + 1 < argc)
            phones = std::clamp(std::atoi(argv[++i]), 1, 200);
    }
    if (audible)
        RunAudible(audible, seconds, "alone");

    CIcuTextReadings readings;
    auto index = std::make_shared<CCatalogIndex>(readings);
    index->Build(MakeSongs(20000, readings));
    CBenchStore store;
    CBenchStarter starter;
    bench::CSilentPrompts prompts;
    const std::filesystem::path queueFile = std::filesystem::temp_directory_path() / "linlangok-bench-queue.txt";
    CFlockFileLocks locks;
    CSongPicker picker(store, starter, prompts, locks, queueFile);
    for (std::int64_t id = 1; id <= 30; ++id)
        picker.Pick(*index->Find(id * 7), u"客人" + Utf8ToUtf16(std::to_string(id % 9)), false);
    CUiTaskQueue uiThread;
    CPhoneService service(PhoneServiceParts {picker, nullptr, uiThread, [] { return false; }, kToken, "1234", {}});
    service.SetCatalogue(index);
    CHttplibServer server;
    HttpServerOptions options;
    options.address = "127.0.0.1";
    const std::uint16_t port
        = server.Start(options, [&service](const HttpRequest& request) { return service.Handle(request); });
    service.SetServedAddresses({"127.0.0.1"}, port);

    std::unique_ptr<CSlowloris> attack = slowloris ? std::make_unique<CSlowloris>(port) : nullptr;
    std::mutex lock;
    std::vector<double> latencies;
    std::atomic<int> failures = 0;
    const auto start = Clock::now() + std::chrono::milliseconds(200);
    const int rounds = seconds * 2;
    std::vector<std::jthread> clients;
    for (int number = 0; number < phones; ++number) {
        clients.emplace_back([&, number] {
            CPhone phone(number, port);
            std::vector<double> mine;
            for (int round = 0; round < rounds; ++round) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(500) * round);
                for (const std::string& target : {std::string("/api/state"),
                         round % 4 == number % 4 ? std::string("/api/search?q=yl") : std::string()}) {
                    if (target.empty())
                        continue;
                    const double milliseconds = phone.Request(target);
                    if (milliseconds < 0)
                        ++failures;
                    else
                        mine.push_back(milliseconds);
                }
            }
            std::lock_guard guard(lock);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    std::jthread audibleRun;
    if (audible)
        audibleRun = std::jthread([&] { RunAudible(audible, seconds, "while the phones poll"); });
    clients.clear();
    audibleRun = {};
    if (attack) {
        std::printf("slowloris: %d slow connections from %d addresses, %d opened again after the server closed them\n",
            CSlowloris::kAddresses * CSlowloris::kPerAddress, CSlowloris::kAddresses, attack->Reopened());
        attack.reset();
    }
    service.Close();
    server.Stop();
    std::filesystem::remove(queueFile);

    const size_t count = latencies.size();
    const double p50 = Percentile(latencies, 0.50);
    const double p95 = Percentile(latencies, 0.95);
    const double p99 = Percentile(latencies, 0.99);
    const double maximum = count ? *std::max_element(latencies.begin(), latencies.end()) : 0;
    std::printf("phones %d, requests %zu, failed %d: latency p50 %.2f ms, p95 %.2f ms, p99 %.2f ms (goal <= 100), "
                "max %.2f ms\n",
        phones, count, failures.load(), p50, p95, p99, maximum);
    return 0;
}
