#pragma once

#include "common/Translation.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Every question and message the user sees goes through IUserPrompts: the windows implement it
// with Qt dialogs, the command-line tool prints to standard error, and tests script the answers.
// Engines never open a dialog themselves.
namespace linlangok {

enum class EMessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class EMessageIcon { None, Information, Warning, Error, Question };
enum class EPromptAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    // Nothing: the platform's default caption; an empty text: no caption at all.
    std::optional<std::u16string> caption;
    std::u16string text;
    EMessageButtons buttons = EMessageButtons::Ok;
    EMessageIcon icon = EMessageIcon::None;
};

struct FileFilter {
    std::u16string description; // "MIDI File (*.mid)"
    std::u16string patterns; // "*.mid", several separated by ';'
};

struct FileDialogRequest {
    std::u16string title;
    std::vector<FileFilter> filters;
    std::u16string defaultExtension;
    std::filesystem::path initialPath;
    bool askBeforeOverwrite = false; // save dialogs only
};

struct FolderRequest {
    std::u16string title;
    std::filesystem::path initialFolder;
};

struct FontChoice {
    std::u16string family;
    int pointSize = 0;
    bool bold = false;
    bool italic = false;
};

class IUserPrompts {
public:
    virtual ~IUserPrompts() = default;

    // Shows a modal message and returns the button pressed (Ok for a plain message).
    virtual EPromptAnswer ShowMessage(const MessageRequest& request) = 0;

    // Open and save dialogs: the chosen path, or nothing when the user cancelled.
    virtual std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest& request) = 0;
    virtual std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest& request) = 0;

    // The folder browser: the chosen folder, or nothing when cancelled.
    virtual std::optional<std::filesystem::path> AskFolder(const FolderRequest& request) = 0;

    // The font chooser, starting from the current font: the new font, or nothing when cancelled.
    virtual std::optional<FontChoice> AskFont(const FontChoice& current) = 0;

    // From now on nobody is there to answer (the program is being ended by a signal): the prompt
    // open now and every later one return at once unanswered (Cancel, nothing chosen). Prompts
    // that never wait for a person have nothing to do.
    virtual void StopAsking() { }

    // Shows each message in turn.
    void ShowMessages(const std::vector<MessageRequest>& messages)
    {
        for (const MessageRequest& message : messages)
            ShowMessage(message);
    }

    // Shorthand for a message with an OK button.
    void ShowError(std::u16string_view caption, std::u16string_view text)
    {
        ShowMessage(MessageRequest {std::u16string(caption), std::u16string(text)});
    }

    // The save dialog, asked again while the user picks an existing file and does not want it
    // overwritten: the chosen path, or nothing when the user cancelled.
    std::optional<std::filesystem::path> AskSavePathConfirmingOverwrite(const FileDialogRequest& request);
};

// The captions the engines use, in the user's language.
inline std::u16string CaptionError()
{
    return Tr("UserPrompts", "错误");
}

inline std::u16string CaptionWarning()
{
    return Tr("UserPrompts", "警告");
}

// The program's name and version as a caption shows it, in the user's language.
inline std::u16string ApplicationTitle()
{
    return Tr("UserPrompts", "琳朗卡拉OK 1.2");
}

// The question of AskSavePathConfirmingOverwrite.
inline std::u16string OverwriteQuestion()
{
    return Tr("UserPrompts", "该文件已经存在,您确定要覆盖它吗?");
}

inline std::optional<std::filesystem::path> IUserPrompts::AskSavePathConfirmingOverwrite(
    const FileDialogRequest& request)
{
    for (;;) {
        auto target = AskSavePath(request);
        std::error_code error;
        if (!target || !std::filesystem::exists(*target, error))
            return target;
        const MessageRequest question {
            ApplicationTitle(), OverwriteQuestion(), EMessageButtons::YesNo, EMessageIcon::Question};
        if (ShowMessage(question) == EPromptAnswer::Yes)
            return target;
    }
}

} // namespace linlangok
