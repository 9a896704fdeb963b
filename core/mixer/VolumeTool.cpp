#include "core/mixer/VolumeTool.h"

#include "common/Text.h"
#include "common/Translation.h"

namespace linlangok {
namespace {

// Terminal emulators and the option after which each takes the command to run.
struct Terminal {
    const char* program;
    const char* runOption;
};
constexpr Terminal kTerminals[] = {
    {"x-terminal-emulator", "-e"},
    {"gnome-terminal", "--"},
    {"konsole", "-e"},
    {"xfce4-terminal", "-x"},
    {"xterm", "-e"},
};

} // namespace

std::optional<ProgramCommand> VolumeToolCommand(EVolumeToolView view, const IProgramLauncher& programs)
{
    const bool recording = view == EVolumeToolView::Recording;
    if (programs.HasProgram("pavucontrol")) {
        ProgramCommand command {"pavucontrol", {}};
        if (recording)
            command.arguments = {"-t", "4"};
        return command;
    }
    if (!programs.HasProgram("alsamixer"))
        return std::nullopt;
    for (const Terminal& terminal : kTerminals) {
        if (!programs.HasProgram(terminal.program))
            continue;
        ProgramCommand command {terminal.program, {terminal.runOption, "alsamixer"}};
        if (recording)
            command.arguments.insert(command.arguments.end(), {"-V", "capture"});
        return command;
    }
    return std::nullopt;
}

void OpenVolumeTool(EVolumeToolView view, IProgramLauncher& programs, IUserPrompts& prompts)
{
    const auto command = VolumeToolCommand(view, programs);
    if (!command) {
        prompts.ShowMessage({Tr("VolumeTool", "音量控制"),
            Tr("VolumeTool", "找不到系统的音量控制程序。请安装 pavucontrol，或安装 alsamixer 和一个终端程序。"),
            EMessageButtons::Ok, EMessageIcon::Warning});
        return;
    }
    if (!programs.Start(*command)) {
        prompts.ShowMessage({Tr("VolumeTool", "音量控制"),
            Formatted(Tr("VolumeTool", "无法启动 %1。"), {Utf8ToUtf16(command->program)}), EMessageButtons::Ok,
            EMessageIcon::Error});
    }
}

} // namespace linlangok
