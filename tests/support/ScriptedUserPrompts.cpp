#include "tests/support/ScriptedUserPrompts.h"

#include "common/Text.h"

namespace linlangok::test {
namespace {

template <typename T> T TakeFront(std::deque<T>& queue, T otherwise)
{
    if (queue.empty())
        return otherwise;
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

} // namespace

EPromptAnswer CScriptedUserPrompts::ShowMessage(const MessageRequest& request)
{
    m_messages.push_back({request.caption, request.text, request.buttons});
    if (m_whileShowing)
        m_whileShowing();
    return TakeFront(m_answers, EPromptAnswer::Ok);
}

std::optional<std::filesystem::path> CScriptedUserPrompts::AskOpenPath(const FileDialogRequest& request)
{
    m_fileDialogs.push_back(request);
    return TakeFront(m_paths, std::optional<std::filesystem::path>());
}

std::optional<std::filesystem::path> CScriptedUserPrompts::AskSavePath(const FileDialogRequest& request)
{
    m_fileDialogs.push_back(request);
    return TakeFront(m_paths, std::optional<std::filesystem::path>());
}

std::optional<std::filesystem::path> CScriptedUserPrompts::AskFolder(const FolderRequest& request)
{
    m_folderDialogs.push_back(request);
    return TakeFront(m_paths, std::optional<std::filesystem::path>());
}

std::optional<FontChoice> CScriptedUserPrompts::AskFont(const FontChoice&)
{
    return TakeFront(m_fonts, std::optional<FontChoice>());
}

std::vector<std::string> CScriptedUserPrompts::MessageTexts() const
{
    std::vector<std::string> texts;
    for (const auto& message : m_messages)
        texts.push_back(Utf16ToUtf8(message.text));
    return texts;
}

} // namespace linlangok::test
