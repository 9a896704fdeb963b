#include "core/phone/PhoneRoutes.h"

namespace linlangok {
namespace {

constexpr PhoneRoute kRoutes[] = {
    {"GET", "/", EPhoneAction::Asset, ERouteAccess::Guest},
    {"GET", "/phone.css", EPhoneAction::Asset, ERouteAccess::Guest},
    {"GET", "/phone.js", EPhoneAction::Asset, ERouteAccess::Guest},
    {"GET", "/api/state", EPhoneAction::State, ERouteAccess::Guest},
    {"GET", "/api/search", EPhoneAction::Search, ERouteAccess::Guest},
    {"POST", "/api/pick", EPhoneAction::Pick, ERouteAccess::Guest},
    {"POST", "/api/unpick", EPhoneAction::Unpick, ERouteAccess::Guest},
    {"POST", "/api/name", EPhoneAction::Rename, ERouteAccess::Guest},
    {"POST", "/api/host/login", EPhoneAction::HostLogin, ERouteAccess::Guest},
    {"POST", "/api/host/skip", EPhoneAction::Skip, ERouteAccess::Host},
    {"POST", "/api/host/prioritize", EPhoneAction::Prioritize, ERouteAccess::Host},
    {"POST", "/api/host/remove", EPhoneAction::RemoveAny, ERouteAccess::Host},
    {"POST", "/api/host/play", EPhoneAction::PlayStop, ERouteAccess::Host},
    {"POST", "/api/host/key", EPhoneAction::Key, ERouteAccess::Host},
};

} // namespace

std::span<const PhoneRoute> PhoneRoutes()
{
    return kRoutes;
}

const PhoneRoute* FindPhoneRoute(std::string_view method, std::string_view path)
{
    for (const PhoneRoute& route : kRoutes) {
        if (route.path == path && (route.method == method || (method == "HEAD" && route.method == "GET")))
            return &route;
    }
    return nullptr;
}

bool IsPhoneRoutePath(std::string_view path)
{
    for (const PhoneRoute& route : kRoutes) {
        if (route.path == path)
            return true;
    }
    return false;
}

} // namespace linlangok
