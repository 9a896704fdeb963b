#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Every address a phone may call. Each route declares who may call it: a guest (anyone holding
// the token: search, see the queue, pick, take back their own picks, enter the host's PIN) or the
// host (a phone whose session entered the PIN: 切歌, 优先, remove anyone's pick, play and stop, the
// key). A route that declares nothing is refused to everyone.
namespace linlangok {

enum class ERouteAccess : std::uint8_t { Undeclared, Guest, Host };

enum class EPhoneAction : std::uint8_t {
    Asset, // the page's own files
    State,
    Search,
    Pick,
    Unpick,
    Rename,
    HostLogin,
    Skip,
    Prioritize,
    RemoveAny,
    PlayStop,
    Key,
};

struct PhoneRoute {
    std::string_view method;
    std::string_view path;
    EPhoneAction action;
    ERouteAccess access = ERouteAccess::Undeclared;
};

std::span<const PhoneRoute> PhoneRoutes();

// The route for the method and path; null when there is none.
const PhoneRoute* FindPhoneRoute(std::string_view method, std::string_view path);
// Whether any route has the path (to tell 405 from 404).
bool IsPhoneRoutePath(std::string_view path);

} // namespace linlangok
