#pragma once

#include "common/UserPrompts.h"

namespace linlangok {

// Prompts for work nobody watches (a background analysis, a catalogue scan): every message is
// taken as read and every question goes unanswered.
class CQuietPrompts final : public IUserPrompts {
public:
    EPromptAnswer ShowMessage(const MessageRequest&) override { return EPromptAnswer::Ok; }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return {}; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return {}; }
};

} // namespace linlangok
