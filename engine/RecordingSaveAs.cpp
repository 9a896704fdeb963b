#include "engine/RecordingSaveAs.h"

#include <system_error>

namespace linlangok {
namespace {

namespace fs = std::filesystem;

// Copies through a hidden file beside the target and renames it over the target at the end, so
// a failed copy never leaves a half-written file where a good one was.
bool CopyRecording(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    if (fs::equivalent(from, to, error))
        return false; // the temporary file itself: it is about to be deleted
    const fs::path partial = to.parent_path() / ("." + to.filename().string() + ".part");
    if (!fs::copy_file(from, partial, fs::copy_options::overwrite_existing, error) || error) {
        fs::remove(partial, error);
        return false;
    }
    fs::permissions(partial,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read, error);
    fs::rename(partial, to, error);
    if (error) {
        fs::remove(partial, error);
        return false;
    }
    return true;
}

} // namespace

std::optional<std::filesystem::path> SaveRecordingAs(IUserPrompts& prompts, const std::filesystem::path& temporaryFile)
{
    FileDialogRequest request;
    request.filters = {{u"Music Files (*.mp3)", u"*.mp3"}};
    request.defaultExtension = u"mp3";
    for (;;) {
        const auto target = prompts.AskSavePath(request);
        if (!target)
            return std::nullopt;
        std::error_code error;
        if (fs::exists(*target, error)) {
            const MessageRequest question {std::u16string(kApplicationTitle), u"该文件已经存在,您确定要覆盖它吗?",
                EMessageButtons::YesNo, EMessageIcon::None};
            if (prompts.ShowMessage(question) != EPromptAnswer::Yes)
                continue;
        }
        if (!CopyRecording(temporaryFile, *target)) {
            prompts.ShowMessage(
                {std::u16string(kApplicationTitle), u"保存文件时出错!", EMessageButtons::Ok, EMessageIcon::Error});
            continue;
        }
        fs::remove(temporaryFile, error);
        return target;
    }
}

} // namespace linlangok
