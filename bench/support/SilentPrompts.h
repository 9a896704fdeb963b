#pragma once

#include "common/Text.h"
#include "common/UserPrompts.h"

#include <iostream>

namespace linlangok::bench {

// Prompts for benchmarks, which expect no message: one that comes anyway is printed to standard
// error and answered Ok; dialogs are cancelled.
class CSilentPrompts final : public IUserPrompts {
public:
    EPromptAnswer ShowMessage(const MessageRequest& request) override
    {
        std::cerr << "unexpected message: " << Utf16ToUtf8(request.text) << '\n';
        return EPromptAnswer::Ok;
    }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return {}; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return {}; }
};

} // namespace linlangok::bench
