#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/render/RenderAudio.h"
#include "tools/Commands.h"

#include <iostream>

namespace linlangok {

int RunRenderAudioCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    ShiftOptions shift;
    if (arguments.size() < 2 || !ParseShiftOptions(arguments, 2, kAudioPitchLimit, shift))
        return UsageError(kRenderAudioUsage);
    const auto frames = RenderAudio(context.prompts, arguments[0], arguments[1], {shift.transpose, shift.tempoPercent},
        CSndFileDecoder::Open, CRubberBandStretcher::Create);
    if (!frames)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(*frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
