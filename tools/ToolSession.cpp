#include "tools/ToolSession.h"

#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace linlangok {

std::unique_ptr<CToolSession> CToolSession::Open(ToolContext& context, IUserPrompts& prompts)
{
    IAudioOutput* output = context.audioOutput();
    if (!output)
        return nullptr;
    std::unique_ptr<IWaveInSystem> waveIn = context.waveIn();
    if (!waveIn)
        return nullptr;
    return std::make_unique<CToolSession>(context, *output, std::move(waveIn), prompts);
}

CToolSession::CToolSession(
    ToolContext& context, IAudioOutput& output, std::unique_ptr<IWaveInSystem> waveIn, IUserPrompts& prompts)
    : waveIn(std::move(waveIn))
    , midiDevices(FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")), output, true)
    , inputDevices(*this->waveIn, context.mixers)
    , session(SessionServices {prompts, uiThread, timerDriver, midiDevices, output, CSndFileDecoder::Open,
          CRubberBandStretcher::Create, inputDevices, context.mixers, &context.encoder, context.codePage,
          context.textEncodings, std::cout, context.programFolder, context.fileLocks})
{
}

bool SelectFirstInputDevice(CRecordingController& controller)
{
    const auto names = controller.DeviceNames();
    if (names.empty()) {
        std::cerr << "No recording device.\n";
        return false;
    }
    try {
        controller.SelectDevice(names.front());
    } catch (const std::runtime_error&) {
        // "Can't open Mixer Device.": the device is selected all the same, and records without it.
    }
    return true;
}

} // namespace linlangok
