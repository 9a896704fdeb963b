#pragma once

#include <filesystem>
#include <string_view>

namespace linlangok {

// Documents and web pages, opened by the desktop.
class IDesktopOpener {
public:
    virtual ~IDesktopOpener() = default;
    virtual void OpenDocument(const std::filesystem::path& path) = 0;
    virtual void OpenWebPage(std::u16string_view address) = 0;
};

} // namespace linlangok
