#pragma once

#include "common/UserPrompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace linlangok::test {

// IUserPrompts for tests: records every message and dialog, and answers from queues the test
// fills beforehand. An empty queue answers Ok to messages and cancels dialogs.
class CScriptedUserPrompts : public IUserPrompts {
public:
    struct ShownMessage {
        std::optional<std::u16string> caption; // nothing: the default caption
        std::u16string text;
        EMessageButtons buttons;
    };

    EPromptAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskFolder(const FolderRequest& request) override;
    std::optional<FontChoice> AskFont(const FontChoice& current) override;

    // Texts of the messages shown so far, in UTF-8, for readable assertions.
    std::vector<std::string> MessageTexts() const;

    std::vector<ShownMessage> m_messages;
    std::vector<FileDialogRequest> m_fileDialogs;
    std::vector<FolderRequest> m_folderDialogs;

    // Runs while a message is shown, as a modal box's event loop runs timers meanwhile.
    std::function<void()> m_whileShowing;

    std::deque<EPromptAnswer> m_answers;
    std::deque<std::optional<std::filesystem::path>> m_paths;
    std::deque<std::optional<FontChoice>> m_fonts;
};

} // namespace linlangok::test
