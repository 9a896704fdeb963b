#include "tools/ToolSession.h"

#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"

#include <cstdlib>
#include <iostream>

namespace linlangok {

CToolSession::CToolSession(ToolContext& context, IAudioOutput& output, IWaveInSystem& waveIn, IUserPrompts& prompts)
    : midiDevices(FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")), output, true)
    , inputDevices(waveIn, context.mixers)
    , session(SessionServices {prompts, uiThread, timerDriver, midiDevices, output, CSndFileDecoder::Open,
          CRubberBandStretcher::Create, inputDevices, context.mixers, &context.encoder, context.codePage,
          context.textEncodings, std::cout, context.programFolder})
{
}

} // namespace linlangok
