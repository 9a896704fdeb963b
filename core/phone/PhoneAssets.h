#pragma once

#include <span>
#include <string_view>

namespace linlangok {

// One file of the phones' page, compiled into the program from resources/phone.
struct PhoneAsset {
    std::string_view path; // the route that serves it
    std::string_view contentType;
    std::string_view content;
};

std::span<const PhoneAsset> PhoneAssets();

} // namespace linlangok
