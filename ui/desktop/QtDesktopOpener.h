#pragma once

#include "core/controller/DesktopOpener.h"

namespace linlangok {

// Documents and web pages opened by the desktop's default programs (xdg-open behind Qt).
class CQtDesktopOpener final : public IDesktopOpener {
public:
    void OpenDocument(const std::filesystem::path& path) override;
    void OpenWebPage(std::u16string_view address) override;
};

} // namespace linlangok
