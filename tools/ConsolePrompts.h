#pragma once

#include "common/UserPrompts.h"

namespace linlangok {

// IUserPrompts for the command-line tool: every message goes to standard error as
// "caption: text" (UTF-8). Nobody is there to answer, so questions go unanswered (Cancel) and
// dialogs are cancelled.
class CConsolePrompts final : public IUserPrompts {
public:
    EPromptAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskFolder(const FolderRequest& request) override;
    std::optional<FontChoice> AskFont(const FontChoice& current) override;
};

} // namespace linlangok
