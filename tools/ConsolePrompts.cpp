#include "tools/ConsolePrompts.h"

#include "common/Text.h"

#include <iostream>

namespace linlangok {

EPromptAnswer CConsolePrompts::ShowMessage(const MessageRequest& request)
{
    std::cerr << Utf16ToUtf8(request.caption.value_or(CaptionError())) << ": " << Utf16ToUtf8(request.text)
              << std::endl;
    switch (request.buttons) {
    case EMessageButtons::Ok:
        return EPromptAnswer::Ok;
    case EMessageButtons::OkCancel:
    case EMessageButtons::YesNo:
    case EMessageButtons::YesNoCancel:
        return EPromptAnswer::Cancel; // nobody answers a console
    }
    return EPromptAnswer::Ok;
}

std::optional<std::filesystem::path> CConsolePrompts::AskOpenPath(const FileDialogRequest&)
{
    return std::nullopt;
}

std::optional<std::filesystem::path> CConsolePrompts::AskSavePath(const FileDialogRequest&)
{
    return std::nullopt;
}

std::optional<std::filesystem::path> CConsolePrompts::AskFolder(const FolderRequest&)
{
    return std::nullopt;
}

std::optional<FontChoice> CConsolePrompts::AskFont(const FontChoice&)
{
    return std::nullopt;
}

} // namespace linlangok
