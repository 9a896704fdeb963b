#pragma once

#include "common/UserPrompts.h"

#include <filesystem>

namespace linlangok {

// Prompts for a command that saves to a path given on its command line: messages go to the
// console; the save dialog answers once with that path (and cancels after), the overwrite
// question with yes: naming the file is the user's choice to replace it.
class CSaveToPathPrompts final : public IUserPrompts {
public:
    CSaveToPathPrompts(IUserPrompts& console, std::filesystem::path target);

    EPromptAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override;
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return std::nullopt; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return std::nullopt; }

private:
    IUserPrompts& m_console;
    std::filesystem::path m_target;
};

} // namespace linlangok
