#pragma once

#include <filesystem>

// The program folder: where OKSetting.ini, Lyric/, PlayList/, the temporary recording and the
// help documents live.
namespace linlangok {

// LINLANGOK_HOME when set; otherwise ProgramFolderBeside the running executable's folder.
// Computed on every call, so tests can change the variable.
std::filesystem::path ProgramFolder();

// For a program in `executableFolder`: that folder when it is writable and the program is not
// installed (a build tree, or a program unpacked in a folder of its own); otherwise, as for an
// installed one even where its folder is writable (root's /usr/bin), the per-user data folder
// ($XDG_DATA_HOME/linlangok, or ~/.local/share/linlangok). The data folder is created when missing.
std::filesystem::path ProgramFolderBeside(const std::filesystem::path& executableFolder);

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

// Where an installed program in `executableFolder` keeps its help, demo song and the rest of its
// data: share/linlangok under its prefix (/usr/bin: /usr/share/linlangok).
std::filesystem::path InstalledDataFolder(const std::filesystem::path& executableFolder);

} // namespace linlangok
