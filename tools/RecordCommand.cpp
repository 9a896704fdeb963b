// record OUT.mp3 --seconds S: S seconds from the first recording device of the input that
// LINLANGOK_AUDIO_IN selects, through the recording controller, saved to OUT.mp3.

#include "common/Text.h"
#include "core/performance/RecordingController.h"
#include "platform/audio/WaveInSystem.h"
#include "tools/Commands.h"
#include "tools/SaveToPathPrompts.h"
#include "tools/ToolSession.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace linlangok {
namespace {

constexpr const char* kUsage = "record OUT.mp3 --seconds S";
constexpr double kLongestRecording = 24 * 3600;

} // namespace

int RunRecordCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() != 3 || arguments[1] != "--seconds")
        return UsageError(kUsage);
    const std::optional<double> seconds = ParseArgument(arguments[2], 0.0, kLongestRecording);
    if (!seconds || *seconds == 0)
        return UsageError(kUsage);

    const auto waveIn = context.waveIn();
    if (!waveIn)
        return 1;
    CInputDeviceList devices(*waveIn, context.mixers);
    CSaveToPathPrompts prompts(context.prompts, arguments[0]);
    std::ostringstream errors; // the controller's standard output; its prompts print the same texts
    CRecordingController controller(
        devices, context.mixers, &context.encoder, context.programFolder, context.fileLocks, prompts, errors);
    if (!SelectFirstInputDevice(controller))
        return 1;
    const std::uint64_t frames = TakeFrames(*seconds);
    controller.StartRecording(frames);
    if (!controller.IsRecording())
        return 1;
    std::cout << "recording " << *seconds << " s from "
              << Utf16ToUtf8(controller.SelectedRecorder()->Capabilities().name) << std::endl;
    WaitForTake(controller, frames, [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); });
    const bool saved = controller.StopRecording().fate == ETakeFate::Saved;
    PrintDropouts(0, controller.DropoutCount());
    return saved && errors.str().empty() ? 0 : 1;
}

} // namespace linlangok
