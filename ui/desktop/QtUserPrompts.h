#pragma once

#include "common/UserPrompts.h"

class QWidget;

namespace linlangok {

// The prompts as Qt dialogs: message boxes, file dialogs, the folder browser and the font
// chooser, each modal to the owner window. UI thread.
class CQtUserPrompts final : public IUserPrompts {
public:
    // The owner may be null (then the boxes have no owner) and may be set later.
    explicit CQtUserPrompts(QWidget* owner = nullptr)
        : m_owner(owner)
    {
    }
    void SetOwner(QWidget* owner) { m_owner = owner; }

    EPromptAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskFolder(const FolderRequest& request) override;
    std::optional<FontChoice> AskFont(const FontChoice& current) override;

private:
    QWidget* m_owner;
};

} // namespace linlangok
