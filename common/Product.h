#pragma once

#include "common/Translation.h"

#include <string>
#include <string_view>

namespace linlangok {

// The product's name as the desktop shows it, in the user's language.
inline std::u16string ProductName()
{
    return Tr("Product", "琳朗卡拉OK");
}

// The maker's web address: the second idle lyric line, and the page the idle lyrics window opens
// (with kMakerWebFragment appended).
inline constexpr std::u16string_view kMakerWebAddress = u"http://www.orbisong.com";
inline constexpr std::u16string_view kMakerWebFragment = u"#klok10ad";

// The maker's page with the newest version (the "下载最新版(&D)" menu item).
inline constexpr std::u16string_view kMakerDownloadAddress = u"http://www.orbisong.com/download.htm";

// The info text of a song that has none of its own: a welcome with the maker's address, as the song
// holds and saves it; the header shows it translated.
inline constexpr std::u16string_view kWelcomeLine = u"欢迎光临 http://www.orbisong.com";

} // namespace linlangok
