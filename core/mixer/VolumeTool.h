#pragma once

#include "common/ProgramLauncher.h"
#include "common/UserPrompts.h"

#include <optional>

// The desktop's own volume control program, which the volume window's "播放设置" and "录音设置"
// buttons open: pavucontrol, else alsamixer in a terminal emulator.
namespace linlangok {

enum class EVolumeToolView { Playback, Recording };

// The command that opens the view: pavucontrol (its input devices tab for recording), else
// alsamixer (its capture view for recording) in the first terminal emulator found. Nothing when
// neither program, or no terminal for alsamixer, is there.
std::optional<ProgramCommand> VolumeToolCommand(EVolumeToolView view, const IProgramLauncher& programs);

// Starts that command; says through the prompts when there is none or it does not start.
void OpenVolumeTool(EVolumeToolView view, IProgramLauncher& programs, IUserPrompts& prompts);

} // namespace linlangok
