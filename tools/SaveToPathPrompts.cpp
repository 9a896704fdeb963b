#include "tools/SaveToPathPrompts.h"

#include <utility>

namespace linlangok {

CSaveToPathPrompts::CSaveToPathPrompts(IUserPrompts& console, std::filesystem::path target)
    : m_console(console)
    , m_target(std::move(target))
{
}

EPromptAnswer CSaveToPathPrompts::ShowMessage(const MessageRequest& request)
{
    if (request.text == OverwriteQuestion())
        return EPromptAnswer::Yes;
    return m_console.ShowMessage(request);
}

std::optional<std::filesystem::path> CSaveToPathPrompts::AskSavePath(const FileDialogRequest&)
{
    auto target = std::exchange(m_target, std::filesystem::path());
    if (target.empty())
        return std::nullopt;
    return target;
}

} // namespace linlangok
