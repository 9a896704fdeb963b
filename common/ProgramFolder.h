#pragma once

#include <filesystem>

// The program folder: where OKSetting.ini, Lyric/, PlayList/, the temporary recording and the
// help documents live.
namespace linlangok {

// LINLANGOK_HOME when set; otherwise the running executable's folder when it is writable;
// otherwise the per-user data folder ($XDG_DATA_HOME/linlangok, or ~/.local/share/linlangok).
// LINLANGOK_HOME and the data folder are created when missing. Computed on every call, so tests can change the variable.
std::filesystem::path ProgramFolder();

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

} // namespace linlangok
