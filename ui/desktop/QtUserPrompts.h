#pragma once

#include "common/UserPrompts.h"

#include <functional>

class QWidget;

namespace linlangok {

// The prompts as Qt dialogs: message boxes, file dialogs, the folder browser and the font
// chooser, each modal to the window the user works in (the owner when none of ours is active), which
// has the keyboard again when they close. UI thread.
class CQtUserPrompts final : public IUserPrompts {
public:
    // The owner may be null (then the boxes have no owner) and may be set later.
    explicit CQtUserPrompts(QWidget* owner = nullptr)
        : m_owner(owner)
    {
    }
    void SetOwner(QWidget* owner) { m_owner = owner; }
    // While a sink is set, a report (a message with an OK button alone) goes to it instead of a
    // box, and is answered Ok: a command from outside the window runs, and nobody may be there to
    // close a box. Questions and dialogs still ask. Null: boxes again.
    using ReportSink = std::function<void(const MessageRequest&)>;
    void SetReportSink(ReportSink sink) { m_reportSink = std::move(sink); }

    EPromptAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskFolder(const FolderRequest& request) override;
    std::optional<FontChoice> AskFont(const FontChoice& current) override;
    // Rejects the modal dialogs that are open.
    void StopAsking() override;

private:
    QWidget* Owner() const;

    QWidget* m_owner;
    ReportSink m_reportSink;
    bool m_asking = true;
};

} // namespace linlangok
