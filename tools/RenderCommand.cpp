#include "platform/loudness/LoudnessMeter.h"
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
    // A render with its guide melody is leveled by its own loudness, measured as it is made; one
    // without is leveled as the session plays it, by the loudness of the song with its melody.
    CLoudnessRenderProbe probe;
    if (normalize && options.melody)
        options.levelByProbe = &probe;
    else if (normalize)
        options.levelingGainDb = MeasuredLevelingGainDb(context, arguments[0], ESongKind::Midi);
    const auto result = RenderSong(context.prompts, context.codePage, arguments[0], arguments[1], options);
    if (!result)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(result->frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
