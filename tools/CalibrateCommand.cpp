// calibrate: the round trip from LINLANGOK_AUDIO_OUT to the first recording device of
// LINLANGOK_AUDIO_IN, measured with clicks and kept in Latency.ini, as the volume window does.

#include "common/JsonWriter.h"
#include "core/performance/LatencyCalibration.h"
#include "core/recording/RecordingDevices.h"
#include "tools/Commands.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace linlangok {

int RunCalibrateCommand(ToolContext& context)
{
    if (!context.arguments.empty())
        return UsageError(kCalibrateUsage);
    IAudioOutput* output = context.audioOutput();
    if (!output)
        return 1;
    const auto waveIn = context.waveIn();
    if (!waveIn)
        return 1;
    CInputDeviceList devices(*waveIn, context.mixers);
    if (devices.InputDevices().empty()) {
        std::cerr << "No recording device.\n";
        return 1;
    }
    CLatencyCalibration calibration(*output, *waveIn, devices.InputDevices().front()->DeviceNumber());
    if (!calibration.Start()) {
        std::cerr << "Can't open WAVE In Device!\n";
        return 1;
    }
    // The train lasts 2.4 s and the input is heard for a second more; a stalled device ends it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!calibration.IsDone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto measured = calibration.Finish();
    if (!measured) {
        std::cerr << "No click was heard: put the microphone near the speaker, or connect the output to the "
                     "input, and raise the recording level.\n";
        return 1;
    }
    const LatencyCorrection correction = calibration.Correction(*measured);
    if (!SaveLatencyCorrection(context.programFolder, correction)) {
        std::cerr << "Can't save Latency.ini.\n";
        return 1;
    }
    CJsonWriter(std::cout)
        .BeginObject()
        .Key("latency_ms")
        .Value(correction.roundTripMs)
        .Key("correction_ms")
        .Value(correction.correctionMs)
        .EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
