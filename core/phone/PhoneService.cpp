#include "core/phone/PhoneService.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/phone/PhoneAssets.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace linlangok {
namespace {

constexpr std::string_view kTokenCookie = "k";
constexpr std::string_view kSessionCookie = "s";
constexpr std::string_view kJsonType = "application/json; charset=utf-8";

HttpResponse JsonResponse(int status, std::string body)
{
    return {status, std::string(kJsonType), std::move(body), {}};
}

HttpResponse Error(int status, std::u16string_view message)
{
    std::ostringstream body;
    CJsonWriter(body).BeginObject().Key("error").Value(message).EndObject();
    return JsonResponse(status, body.str());
}

HttpResponse Done()
{
    return JsonResponse(200, "{\"ok\":true}");
}

HttpResponse Busy()
{
    return Error(503, Tr("CPhoneService", "程序正忙，请稍后再试。"));
}

std::string SetCookie(std::string_view name, std::string_view value)
{
    return std::string(name) + '=' + std::string(value) + "; Path=/; HttpOnly; SameSite=Strict";
}

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// A path that no route could ever have: not absolute, with a control character (NUL included),
// a backslash or a dot segment.
bool IsMalformedPath(std::string_view path)
{
    return path.empty() || path.front() != '/' || HasControlCharacter(path) || path.find('\\') != std::string_view::npos
        || path.find("/.") != std::string_view::npos || !IsValidUtf8(path);
}

const std::string* Parameter(const HttpRequest& request, std::string_view name)
{
    for (const auto& [key, value] : request.parameters) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::optional<std::int64_t> IntegerMember(const JsonValue& body, std::string_view key)
{
    const JsonValue* value = body.Find(key);
    if (!value || value->type != JsonValue::EType::Number || value->number != std::trunc(value->number)
        || std::abs(value->number) > 9.0e15)
        return std::nullopt;
    return static_cast<std::int64_t>(value->number);
}

// The marks and embeddings that reorder text around them: a name holding one would show the
// names after it in 已点歌曲 reversed or moved.
bool IsBidiControl(char16_t character)
{
    return character == 0x061C || character == 0x200E || character == 0x200F
        || (character >= 0x202A && character <= 0x202E) || (character >= 0x2066 && character <= 0x2069);
}

// A guest's name: without bidirectional controls, trimmed, 1 to maximum characters, no control
// or line-breaking characters.
std::optional<std::u16string> CleanName(const JsonValue* value, size_t maximum)
{
    if (!value || value->type != JsonValue::EType::String || HasControlCharacter(value->text))
        return std::nullopt;
    std::u16string name = Utf8ToUtf16(value->text);
    std::erase_if(name, IsBidiControl);
    name = std::u16string(Trimmed(name, u" \u3000"));
    size_t characters = 0;
    for (size_t i = 0; i < name.size(); ++characters) {
        const char32_t character = NextCodePoint(name, i);
        if (character == 0x2028 || character == 0x2029 || (character >= 0x80 && character < 0xA0))
            return std::nullopt;
    }
    if (characters == 0 || characters > maximum)
        return std::nullopt;
    return name;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& character : lower)
        character = character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
    return lower;
}

size_t CountCharacters(std::u16string_view text)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++characters)
        NextCodePoint(text, i);
    return characters;
}

} // namespace

std::vector<std::string> ServedAddresses(const std::string& listenAddress, const std::vector<std::string>& lanAddresses)
{
    std::vector<std::string> served {listenAddress};
    if (listenAddress == "0.0.0.0")
        served = lanAddresses, served.push_back("127.0.0.1");
    if (std::find(served.begin(), served.end(), "127.0.0.1") != served.end())
        served.push_back("localhost");
    return served;
}

CPhoneService::CPhoneService(const PhoneServiceParts& parts)
    : m_parts(parts)
    , m_limiter(parts.limits.requestsPerSecond)
    , m_snapshot(std::make_shared<Snapshot>())
{
    m_listener = m_parts.picker.AddChangedListener([this] { Publish(); });
    Publish();
}

CPhoneService::~CPhoneService()
{
    m_parts.picker.RemoveChangedListener(m_listener);
}

void CPhoneService::SetCatalogue(std::shared_ptr<const CCatalogIndex> index)
{
    std::lock_guard lock(m_lock);
    m_index = std::move(index);
}

void CPhoneService::SetServedAddresses(std::vector<std::string> addresses, std::uint16_t port)
{
    std::vector<std::string> hosts;
    for (const std::string& address : addresses) {
        hosts.push_back(Lower(address) + ':' + std::to_string(port));
        if (port == 80)
            hosts.push_back(Lower(address));
    }
    std::lock_guard lock(m_lock);
    m_servedHosts = std::move(hosts);
}

bool CPhoneService::IsServedHost(const HttpRequest& request)
{
    const std::string host = Lower(request.host);
    const std::string origin = Lower(request.origin);
    std::lock_guard lock(m_lock);
    const auto served = [this](std::string_view name) {
        return std::find(m_servedHosts.begin(), m_servedHosts.end(), name) != m_servedHosts.end();
    };
    // A browser names the page a post comes from; other clients may say nothing.
    return served(host)
        && (request.method != "POST" || origin.empty() || (origin.starts_with("http://") && served(origin.substr(7))));
}

void CPhoneService::Publish()
{
    auto item = [](const QueueEntry& entry) {
        return QueueItem {entry.ticket, entry.songId, entry.title, entry.singer, entry.performer, entry.guest};
    };
    auto snapshot = std::make_shared<Snapshot>();
    const CSongQueue& queue = m_parts.picker.Queue();
    if (queue.Current())
        snapshot->current = item(*queue.Current());
    snapshot->waitingCount = queue.Entries().size();
    for (size_t i = 0; i < std::min(queue.Entries().size(), m_parts.limits.shownQueueEntries); ++i)
        snapshot->waiting.push_back(item(queue.Entries()[i]));
    snapshot->playing = m_parts.host && m_parts.host->IsPlaying();
    std::lock_guard lock(m_lock);
    m_snapshot = std::move(snapshot);
}

void CPhoneService::Close()
{
    std::lock_guard lock(m_lock);
    m_closed = true;
    m_commandDone.notify_all();
}

HttpResponse CPhoneService::Handle(const HttpRequest& request)
{
    return Handle(request, PhoneClock::now());
}

HttpResponse CPhoneService::Handle(const HttpRequest& request, PhoneClock::time_point now)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_limiter.Admit(request.remoteAddress, now)) {
            HttpResponse response = Error(429, Tr("CPhoneService", "请求太频繁，请稍后再试。"));
            response.headers.emplace_back("Retry-After", "1");
            return response;
        }
    }
    if (!IsServedHost(request))
        return {403, "text/plain; charset=utf-8",
            TrUtf8("CPhoneService", "403 禁止访问：请用点歌二维码里的地址打开此页。\n"), {}};
    const std::string* queryToken = Parameter(request, kTokenCookie);
    const bool tokenInQuery = queryToken && ConstantTimeEquals(*queryToken, m_parts.token);
    if (!tokenInQuery && !ConstantTimeEquals(CookieValue(request.cookies, kTokenCookie), m_parts.token))
        return {403, "text/plain; charset=utf-8", TrUtf8("CPhoneService", "403 禁止访问：请扫描点歌二维码打开此页。\n"),
            {}};
    HttpResponse response = Route(request, now, tokenInQuery);
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    return response;
}

HttpResponse CPhoneService::Route(const HttpRequest& request, PhoneClock::time_point now, bool tokenInQuery)
{
    if (IsMalformedPath(request.path))
        return Error(400, Tr("CPhoneService", "请求的地址无效。"));
    for (const auto& [key, value] : request.parameters) {
        if (HasControlCharacter(key) || HasControlCharacter(value) || !IsValidUtf8(value))
            return Error(400, Tr("CPhoneService", "请求的参数无效。"));
    }
    const PhoneRoute* route = FindPhoneRoute(request.method, request.path);
    if (!route)
        return IsPhoneRoutePath(request.path) ? Error(405, Tr("CPhoneService", "不支持这种请求方法。"))
                                              : Error(404, Tr("CPhoneService", "没有这个页面。"));
    if (route->access == ERouteAccess::Undeclared)
        return Error(403, Tr("CPhoneService", "禁止访问。"));
    // A phone's session starts with the page: commands need one, a read alone keeps none.
    const Caller caller = TakeCaller(request.cookies, request.remoteAddress, route->path == "/");
    if (request.method == "POST" && caller.id.empty())
        return Error(403, Tr("CPhoneService", "请先用手机扫描点歌二维码打开点歌页面。"));
    HttpResponse response = Dispatch(*route, request, caller, now);
    if (tokenInQuery)
        response.headers.emplace_back("Set-Cookie", SetCookie(kTokenCookie, m_parts.token));
    if (caller.isNew)
        response.headers.emplace_back("Set-Cookie", SetCookie(kSessionCookie, caller.id));
    return response;
}

HttpResponse CPhoneService::Dispatch(
    const PhoneRoute& route, const HttpRequest& request, const Caller& caller, PhoneClock::time_point now)
{
    if (route.access == ERouteAccess::Host && !caller.guest.host)
        return Error(403, Tr("CPhoneService", "这是主持人的操作，请先输入主持人密码。"));
    if (request.body.size() > m_parts.limits.maximumBodyBytes)
        return Error(413, Tr("CPhoneService", "请求太大。"));
    std::optional<JsonValue> body;
    if (request.method == "POST") {
        if (!Lower(request.contentType).starts_with("application/json"))
            return Error(415, Tr("CPhoneService", "请求要用 JSON。"));
        body = ParseJson(request.body);
        if (!body || body->type != JsonValue::EType::Object)
            return Error(400, Tr("CPhoneService", "请求不是有效的 JSON 对象。"));
    }
    switch (route.action) {
    case EPhoneAction::Asset:
        for (const PhoneAsset& asset : PhoneAssets()) {
            if (asset.path == route.path) {
                HttpResponse response {200, std::string(asset.contentType), std::string(asset.content), {}};
                response.headers.emplace_back("Content-Security-Policy",
                    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; "
                    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
                return response;
            }
        }
        return Error(404, Tr("CPhoneService", "没有这个页面。"));
    case EPhoneAction::State:
        return State(caller);
    case EPhoneAction::Search:
        return Search(request);
    case EPhoneAction::Pick:
        return Pick(caller, *body, request.remoteAddress);
    case EPhoneAction::Unpick:
        return RunOnUiThread([this, body = *body, id = caller.id] {
            return WithQueuedTicket(body, id, [this](size_t index) { m_parts.picker.Remove(index); });
        });
    case EPhoneAction::Rename:
        return Rename(caller, *body);
    case EPhoneAction::HostLogin:
        return HostLogin(caller, *body, request.remoteAddress, now);
    case EPhoneAction::Skip:
        return RunOnUiThread([this] {
            m_parts.picker.Skip();
            return Done();
        });
    case EPhoneAction::Prioritize:
        return RunOnUiThread([this, body = *body] {
            return WithQueuedTicket(body, {}, [this](size_t index) { m_parts.picker.Prioritize(index); });
        });
    case EPhoneAction::RemoveAny:
        return RunOnUiThread([this, body = *body] {
            return WithQueuedTicket(body, {}, [this](size_t index) { m_parts.picker.Remove(index); });
        });
    case EPhoneAction::PlayStop:
    case EPhoneAction::Key: {
        const std::optional<std::int64_t> step = route.action == EPhoneAction::Key ? IntegerMember(*body, "step") : 0;
        if (!step || std::abs(*step) > 12)
            return Error(400, Tr("CPhoneService", "升降调的半音数无效。"));
        return RunOnUiThread([this, action = route.action, step = static_cast<int>(*step)] {
            if (!m_parts.host)
                return Error(503, Tr("CPhoneService", "这里不播放歌曲。"));
            if (action == EPhoneAction::Key)
                m_parts.host->StepPitch(step);
            else
                m_parts.host->TogglePlay();
            Publish();
            return Done();
        });
    }
    }
    return Error(404, Tr("CPhoneService", "没有这个页面。"));
}

CPhoneService::Caller CPhoneService::TakeCaller(std::string_view cookies, const std::string& address, bool start)
{
    std::lock_guard lock(m_lock);
    ++m_requests;
    const std::string id(CookieValue(cookies, kSessionCookie));
    if (auto found = m_guests.find(id); found != m_guests.end()) {
        found->second.lastSeen = m_requests;
        return {id, found->second, false};
    }
    if (!start || !MakeRoomForSession(address))
        return {};
    Caller caller {RandomHex(16),
        {Formatted(Tr("CPhoneService", "客人%1"), {Utf8ToUtf16(std::to_string(++m_guestNumber))}), false, m_requests,
            address},
        true};
    m_guests[caller.id] = caller.guest;
    return caller;
}

bool CPhoneService::MakeRoomForSession(const std::string& address)
{
    // A phone that drops its cookies, or a guest making sessions by the thousand, takes the place
    // of its own address's sessions; a full table gives up a guest's, never a host's.
    const auto oldestGuest = [this](auto&& among) {
        auto oldest = m_guests.end();
        for (auto it = m_guests.begin(); it != m_guests.end(); ++it) {
            if (!it->second.host && among(it->second)
                && (oldest == m_guests.end() || it->second.lastSeen < oldest->second.lastSeen))
                oldest = it;
        }
        return oldest;
    };
    const auto fromAddress = [&address](const Guest& guest) { return guest.address == address; };
    const auto count = static_cast<size_t>(
        std::count_if(m_guests.begin(), m_guests.end(), [&](const auto& entry) { return fromAddress(entry.second); }));
    if (count >= m_parts.limits.sessionsPerAddress || m_guests.size() >= m_parts.limits.maximumGuests) {
        const auto taken = count >= m_parts.limits.sessionsPerAddress ? oldestGuest(fromAddress)
                                                                      : oldestGuest([](const Guest&) { return true; });
        if (taken == m_guests.end())
            return false;
        m_guests.erase(taken);
    }
    return true;
}

HttpResponse CPhoneService::State(const Caller& caller)
{
    std::shared_ptr<const Snapshot> snapshot;
    {
        std::lock_guard lock(m_lock);
        snapshot = m_snapshot;
    }
    std::ostringstream body;
    CJsonWriter json(body);
    const auto isMine = [&caller](const QueueItem& item) { return !caller.id.empty() && item.guest == caller.id; };
    auto write = [&](const QueueItem& item) {
        json.BeginObject().Key("ticket").Value(static_cast<long long>(item.ticket));
        json.Key("id").Value(static_cast<long long>(item.songId)).Key("title").Value(std::u16string_view(item.title));
        json.Key("singer").Value(std::u16string_view(item.singer));
        json.Key("performer").Value(std::u16string_view(item.performer));
        json.Key("mine").Value(isMine(item)).EndObject();
    };
    const size_t mine = static_cast<size_t>(std::count_if(snapshot->waiting.begin(), snapshot->waiting.end(), isMine));
    json.BeginObject().Key("me").BeginObject().Key("name").Value(std::u16string_view(caller.guest.name));
    json.Key("host").Value(caller.guest.host).Key("picks").Value(static_cast<long long>(mine));
    json.Key("limit").Value(static_cast<long long>(m_parts.limits.picksPerGuest)).EndObject();
    json.Key("playing").Value(snapshot->playing).Key("current");
    if (snapshot->current)
        write(*snapshot->current);
    else
        json.Null();
    json.Key("queue").BeginArray();
    for (const QueueItem& item : snapshot->waiting)
        write(item);
    json.EndArray().Key("more").Value(static_cast<long long>(snapshot->waitingCount - snapshot->waiting.size()));
    json.EndObject();
    return JsonResponse(200, body.str());
}

HttpResponse CPhoneService::Search(const HttpRequest& request)
{
    const std::string* rawQuery = Parameter(request, "q");
    const std::u16string query = rawQuery ? Utf8ToUtf16(*rawQuery) : std::u16string();
    if (CountCharacters(query) > m_parts.limits.maximumQueryCharacters)
        return Error(400, Tr("CPhoneService", "搜索的字太多。"));
    std::shared_ptr<const CCatalogIndex> index;
    {
        std::lock_guard lock(m_lock);
        index = m_index;
    }
    std::ostringstream body;
    CJsonWriter json(body);
    json.BeginObject().Key("ready").Value(index != nullptr).Key("results").BeginArray();
    if (index) {
        for (const SearchResult& result : index->Search(query, {}, m_parts.limits.maximumResults)) {
            const CatalogSong& song = *result.song;
            json.BeginObject().Key("id").Value(static_cast<long long>(song.id));
            json.Key("title")
                .Value(std::u16string_view(song.title))
                .Key("singer")
                .Value(std::u16string_view(song.singer));
            json.Key("kind").Value(song.format).Key("length_ms").Value(song.lengthMilliseconds).EndObject();
        }
    }
    json.EndArray().EndObject();
    return JsonResponse(200, body.str());
}

HttpResponse CPhoneService::Pick(const Caller& caller, const JsonValue& body, const std::string& address)
{
    const std::optional<std::int64_t> id = IntegerMember(body, "id");
    if (!id)
        return Error(400, Tr("CPhoneService", "请求里没有歌曲编号。"));
    std::shared_ptr<const CCatalogIndex> index;
    {
        std::lock_guard lock(m_lock);
        index = m_index;
    }
    const CatalogSong* found = index ? index->Find(*id) : nullptr;
    if (!found)
        return Error(404, Tr("CPhoneService", "歌库里没有这首歌。"));
    return RunOnUiThread([this, song = *found, caller, address] {
        // A phone is held to its limit by its session and by its address, so that dropping the
        // cookie buys no more picks.
        const std::vector<QueueEntry>& waiting = m_parts.picker.Queue().Entries();
        const auto mine = static_cast<size_t>(std::count_if(waiting.begin(), waiting.end(),
            [&](const QueueEntry& entry) { return entry.guest == caller.id || entry.guestAddress == address; }));
        if (mine >= m_parts.limits.picksPerGuest)
            return Error(409,
                Formatted(Tr("CPhoneService", "每人最多同时点 %1 首歌，请等唱完再点。"),
                    {Utf8ToUtf16(std::to_string(m_parts.limits.picksPerGuest))}));
        if (!m_parts.picker.Pick(song, caller.guest.name, m_parts.nothingPlays(), {caller.id, address}))
            return Error(409, Tr("CPhoneService", "已点歌曲已满。"));
        return Done();
    });
}

HttpResponse CPhoneService::Rename(const Caller& caller, const JsonValue& body)
{
    const std::optional<std::u16string> name = CleanName(body.Find("name"), m_parts.limits.maximumNameCharacters);
    if (!name)
        return Error(400,
            Formatted(Tr("CPhoneService", "名字要有 1 到 %1 个字。"),
                {Utf8ToUtf16(std::to_string(m_parts.limits.maximumNameCharacters))}));
    std::lock_guard lock(m_lock);
    if (auto found = m_guests.find(caller.id); found != m_guests.end())
        found->second.name = *name;
    return Done();
}

HttpResponse CPhoneService::HostLogin(
    const Caller& caller, const JsonValue& body, const std::string& address, PhoneClock::time_point now)
{
    const JsonValue* pin = body.Find("pin");
    if (!pin || pin->type != JsonValue::EType::String)
        return Error(400, Tr("CPhoneService", "请求里没有密码。"));
    std::lock_guard lock(m_lock);
    if (m_pinTries.IsLockedOut(address, caller.id, now))
        return Error(429, Tr("CPhoneService", "密码错了太多次，请过 5 分钟再试。"));
    if (!ConstantTimeEquals(pin->text, m_parts.pin)) {
        m_pinTries.Failed(address, caller.id, now);
        return Error(403, Tr("CPhoneService", "主持人密码不对。"));
    }
    m_pinTries.Succeeded(address, caller.id);
    if (auto found = m_guests.find(caller.id); found != m_guests.end())
        found->second.host = true;
    return Done();
}

HttpResponse CPhoneService::WithQueuedTicket(
    const JsonValue& body, const std::string& owner, const std::function<void(size_t)>& act)
{
    const std::optional<std::int64_t> ticket = IntegerMember(body, "ticket");
    if (!ticket || *ticket <= 0)
        return Error(400, Tr("CPhoneService", "请求里没有已点歌曲的编号。"));
    const std::optional<size_t> index = m_parts.picker.Queue().Find(static_cast<std::uint64_t>(*ticket));
    if (!index)
        return Error(404, Tr("CPhoneService", "这首歌已不在已点歌曲里。"));
    if (!owner.empty() && m_parts.picker.Queue().Entries()[*index].guest != owner)
        return Error(403, Tr("CPhoneService", "只能删除自己点的歌。"));
    act(*index);
    return Done();
}

HttpResponse CPhoneService::RunOnUiThread(std::function<HttpResponse()> command)
{
    auto result = std::make_shared<std::optional<HttpResponse>>();
    {
        std::lock_guard lock(m_lock);
        if (m_closed)
            return Busy();
    }
    m_parts.uiThread.Post([this, command = std::move(command), result] {
        HttpResponse response = command();
        std::lock_guard lock(m_lock);
        *result = std::move(response);
        m_commandDone.notify_all();
    });
    std::unique_lock lock(m_lock);
    m_commandDone.wait_for(lock, m_parts.limits.commandTimeout, [&] { return result->has_value() || m_closed; });
    if (!result->has_value())
        return Busy();
    return std::move(**result);
}

} // namespace linlangok
