#include "platform/render/RenderSong.h"
#include "tools/Commands.h"

#include <iostream>

namespace linlangok {

int RunRenderCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 2)
        return UsageError(kRenderUsage);
    // "--no-melody" and "--no-normalize" are switches; the rest are the key and tempo options of play.
    std::vector<std::string> shifts(arguments.begin() + 2, arguments.end());
    RenderOptions options;
    options.melody = !TakeSwitch(shifts, "--no-melody");
    const bool normalize = !TakeSwitch(shifts, "--no-normalize");
    ShiftOptions shift;
    if (!ParseShiftOptions(shifts, 0, 127, shift))
        return UsageError(kRenderUsage);
    options.transpose = shift.transpose;
    options.tempoPercent = shift.tempoPercent;
    if (normalize)
        options.levelingGainDb = MeasuredLevelingGainDb(context, arguments[0], ESongKind::Midi);
    const auto result = RenderSong(context.prompts, context.codePage, arguments[0], arguments[1], options);
    if (!result)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(result->frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
