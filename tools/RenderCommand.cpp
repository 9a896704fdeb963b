#include "platform/render/RenderSong.h"
#include "tools/Commands.h"

#include <algorithm>
#include <iostream>

namespace linlangok {

int RunRenderCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 2)
        return UsageError(kRenderUsage);
    // "--no-melody" is a switch; the rest are the key and tempo options of play.
    std::vector<std::string> shifts(arguments.begin() + 2, arguments.end());
    const auto switches = std::remove(shifts.begin(), shifts.end(), "--no-melody");
    RenderOptions options;
    options.melody = switches == shifts.end();
    shifts.erase(switches, shifts.end());
    ShiftOptions shift;
    if (!ParseShiftOptions(shifts, 0, 127, shift))
        return UsageError(kRenderUsage);
    options.transpose = shift.transpose;
    options.tempoPercent = shift.tempoPercent;
    const auto result = RenderSong(context.prompts, context.codePage, arguments[0], arguments[1], options);
    if (!result)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(result->frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
