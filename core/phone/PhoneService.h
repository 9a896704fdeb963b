#pragma once

#include "common/JsonReader.h"
#include "common/UiThreadPoster.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/SongPicker.h"
#include "core/phone/HttpExchange.h"
#include "core/phone/PhoneGuard.h"
#include "core/phone/PhoneRoutes.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// 手机点歌: what the phones' requests do. Guests search the catalogue, see the queue and what
// plays, pick songs under their name and take their own picks back; a phone whose session
// entered the host's PIN also skips, reorders, removes anyone's pick, plays and stops and changes
// the key. Every request needs the token; see PhoneRoutes.h for who may call what.
namespace linlangok {

inline constexpr std::uint16_t kDefaultPhonePort = 8866;

struct PhoneLimits {
    size_t picksPerGuest = 3; // waiting picks per phone
    size_t maximumBodyBytes = 8 * 1024;
    size_t maximumResults = 50;
    size_t maximumQueryCharacters = 64;
    size_t maximumNameCharacters = 16;
    size_t shownQueueEntries = 100; // the state lists this many waiting songs, and how many more wait
    double requestsPerSecond = 20; // per address, in bursts of as many
    size_t maximumGuests = 1024; // phone sessions kept; the guest's seen longest ago goes first
    size_t sessionsPerAddress = 4; // a new one beyond these takes the place of its address's oldest
    std::chrono::milliseconds commandTimeout {3000}; // a busy program answers 503 after this
};

// The names under which phones reach a server listening on the address: the address itself, and
// for every IPv4 address ("0.0.0.0") each of the machine's LAN addresses; the loopback's also as
// "localhost".
std::vector<std::string> ServedAddresses(
    const std::string& listenAddress, const std::vector<std::string>& lanAddresses);

// The host's controls of the playing song, on the UI thread: the main window's commands.
class IPhoneHostControls {
public:
    virtual ~IPhoneHostControls() = default;
    virtual bool IsPlaying() const = 0;
    // Plays the song in the accompaniment edit, or stops the one playing.
    virtual void TogglePlay() = 0;
    virtual void StepPitch(int semitones) = 0;
};

struct PhoneServiceParts {
    CSongPicker& picker; // UI thread
    IPhoneHostControls* host; // UI thread; null where nothing plays (the tool)
    IUiThreadPoster& uiThread; // runs the commands on the picker's thread
    std::function<bool()> nothingPlays; // UI thread: nothing plays or records, so a pick may start at once
    std::string token; // 32 hexadecimal digits, new at each start
    std::string pin; // the host's PIN
    PhoneLimits limits;
};

// Handles requests on the server's threads, several at a time. Reads (the page, the state, a
// search) never wait for the UI thread: the state is a copy that the UI thread publishes and the
// search runs over an index of the service's own. Commands run on the UI thread through the
// picker and the host's controls, as the windows' do, and the request waits for their outcome.
// Constructed and destroyed on the UI thread; the owner stops the server and makes sure no posted
// command runs afterwards (the poster's tasks are dropped) before destroying the service.
class CPhoneService {
public:
    explicit CPhoneService(const PhoneServiceParts& parts);
    ~CPhoneService();

    CPhoneService(const CPhoneService&) = delete;
    CPhoneService& operator=(const CPhoneService&) = delete;

    const std::string& Token() const { return m_parts.token; }
    const std::string& Pin() const { return m_parts.pin; }

    // Server threads.
    HttpResponse Handle(const HttpRequest& request);
    HttpResponse Handle(const HttpRequest& request, PhoneClock::time_point now);

    // Any thread: the catalogue searched from now on (null: none yet).
    void SetCatalogue(std::shared_ptr<const CCatalogIndex> index);
    // Any thread: the addresses the server listens on, and its port. Only requests whose Host
    // header names one of them are answered (a page of another site that a rebound DNS name
    // points at the server is refused), and only posts from a page of theirs.
    void SetServedAddresses(std::vector<std::string> addresses, std::uint16_t port);
    // UI thread: publishes the queue and whether a song plays again. The picker's changes publish
    // by themselves; the owner calls it when the playing state may have changed.
    void Publish();
    // Any thread: requests waiting for a command give up with 503, and later commands get it at
    // once. Called before the server stops.
    void Close();

private:
    struct QueueItem {
        std::uint64_t ticket = 0;
        std::int64_t songId = 0;
        std::u16string title;
        std::u16string singer;
        std::u16string performer;
        std::string guest;
    };
    struct Snapshot {
        std::optional<QueueItem> current;
        std::vector<QueueItem> waiting; // the first shownQueueEntries
        size_t waitingCount = 0;
        bool playing = false;
    };
    struct Guest {
        std::u16string name;
        bool host = false;
        std::uint64_t lastSeen = 0; // the request count when it was last seen
        std::string address; // where the session began
    };
    struct Caller {
        std::string id;
        Guest guest;
        bool isNew = false;
    };

    HttpResponse Route(const HttpRequest& request, PhoneClock::time_point now, bool tokenInQuery);
    // The checks that need the caller's session, then the route's action.
    HttpResponse Dispatch(
        const PhoneRoute& route, const HttpRequest& request, const Caller& caller, PhoneClock::time_point now);
    // The caller's session; a new one when it has none and start is set, else an anonymous one.
    Caller TakeCaller(std::string_view cookies, const std::string& address, bool start);
    // Under the lock: makes room for a new session from the address, never taking a host's; false
    // when there is none to take.
    bool MakeRoomForSession(const std::string& address);
    // Whether the Host header names the server, and a post comes from its own page.
    bool IsServedHost(const HttpRequest& request);
    HttpResponse State(const Caller& caller);
    HttpResponse Search(const HttpRequest& request);
    HttpResponse Pick(const Caller& caller, const JsonValue& body, const std::string& address);
    HttpResponse Rename(const Caller& caller, const JsonValue& body);
    HttpResponse HostLogin(
        const Caller& caller, const JsonValue& body, const std::string& address, PhoneClock::time_point now);
    // Runs the command on the UI thread and waits for its response.
    HttpResponse RunOnUiThread(std::function<HttpResponse()> command);
    // UI thread: the waiting entry with the ticket in the body, after checking who may touch it.
    HttpResponse WithQueuedTicket(
        const JsonValue& body, const std::string& owner, const std::function<void(size_t)>& act);

    PhoneServiceParts m_parts;
    size_t m_listener = 0;

    std::mutex m_lock;
    std::condition_variable m_commandDone;
    bool m_closed = false;
    CRateLimiter m_limiter;
    CPinTries m_pinTries;
    std::map<std::string, Guest> m_guests; // by session id
    std::uint64_t m_requests = 0;
    size_t m_guestNumber = 0;
    std::shared_ptr<const Snapshot> m_snapshot;
    std::shared_ptr<const CCatalogIndex> m_index;
    std::vector<std::string> m_servedHosts; // "address:port", as Host headers name the server
};

} // namespace linlangok
