#pragma once

#include "common/UserPrompts.h"

#include <filesystem>
#include <optional>

namespace linlangok {

// The save-as flow after a recording (UI thread): asks for a name ("Music Files (*.mp3)") until
// the recording is copied there or the user cancels. An existing file is overwritten only after
// the question "该文件已经存在,您确定要覆盖它吗?" is answered Yes; No asks for another name. A copy
// that fails shows "保存文件时出错!" and asks again; it never leaves a half-written file at the
// target. The saved file gets ordinary permissions (the temporary file's hiding is its dot-name,
// which the copy does not take), then the temporary file is deleted; until then it stays, so
// nothing is lost.
// Returns where the recording was saved, or nothing when the user cancelled.
std::optional<std::filesystem::path> SaveRecordingAs(IUserPrompts& prompts, const std::filesystem::path& temporaryFile);

} // namespace linlangok
