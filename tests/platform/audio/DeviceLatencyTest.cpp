#include "core/audio/SampleFormat.h"
#include "core/performance/LatencyCalibration.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/audio/WaveInSystem.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

TEST(DeviceLatency, BadSelectionsAreRefusedWithTheirReason)
{
    const auto line = std::make_shared<CLoopbackLine>();
    for (const char* selection : {"null,latency=abc", "null,latency=", "null,latency=-5", "null,latency=5001",
             "default,latency=30", "wav:,latency=3", "loopback", "loopback:", "loopback:x", "loopback:87,latency=3"}) {
        try {
            OpenAudioOutput(selection, 256, line);
            ADD_FAILURE() << selection;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()).rfind(std::string("LINLANGOK_AUDIO_OUT=") + selection + ": ", 0), 0u)
                << error.what();
        }
    }
    EXPECT_THROW(OpenAudioOutput("loopback:87"), std::invalid_argument); // no input to play into
    for (const char* selection : {"null,latency=1e3", "loopback:87", "loopback,latency=5"})
        EXPECT_THROW(CaptureDevicesForSelection(selection, line), std::invalid_argument) << selection;
    EXPECT_THROW(CaptureDevicesForSelection("loopback"), std::invalid_argument);
}

TEST(DeviceLatency, VirtualDevicesReportTheirSimulatedLatency)
{
    const auto line = std::make_shared<CLoopbackLine>();
    const std::pair<const char*, std::chrono::microseconds> outputs[]
        = {{"null", 0ms}, {"null,latency=30", 30ms}, {"loopback:87", 0ms}};
    for (const auto& [selection, latency] : outputs)
        EXPECT_EQ(OpenAudioOutput(selection, 256, line)->OutputLatency(), latency) << selection;
    const std::pair<const char*, std::chrono::microseconds> inputs[]
        = {{"null", 0ms}, {"wav:/tmp/in,latency=x.wav,latency=120", 120ms}, {"loopback", 0ms}};
    for (const auto& [selection, latency] : inputs) {
        const auto devices = CaptureDevicesForSelection(selection, line);
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].create()->Latency(), latency) << selection;
    }
    const auto file = CaptureDevicesForSelection("wav:/tmp/in,latency=x.wav,latency=120");
    EXPECT_EQ(file[0].name, "wav:/tmp/in,latency=x.wav");
    EXPECT_EQ(file[0].create()->Name(), "wav:/tmp/in,latency=x.wav");
}

// The calibration over the loopback pair, in virtual time: each step lets 10 ms pass on the
// input, and on the output every `outputSteps` steps, as a loaded machine runs the output thread
// late. Device 0 listens on another line, device 1 on the output's.
std::optional<LatencyCorrection> CalibrateOverLoopback(
    std::chrono::milliseconds delay, std::uint32_t device, int outputSteps = 1)
{
    const auto line = std::make_shared<CLoopbackLine>([] { return std::uint64_t {0}; });
    auto outputPacer = std::make_unique<CManualPacer>();
    CManualPacer& outputClock = *outputPacer;
    const auto output = CreateLoopbackAudioOutput(line, delay, 441, std::move(outputPacer));
    const auto inputPacer = std::make_shared<CManualPacer>();
    const auto otherLine = std::make_shared<CLoopbackLine>();
    CWaveInSystem waveIn({{"elsewhere", true, [&] { return CreateLoopbackCapture(otherLine, inputPacer); }},
        {"loopback", true, [&] { return CreateLoopbackCapture(line, inputPacer); }}});
    CLatencyCalibration calibration(*output, waveIn, device);
    EXPECT_TRUE(calibration.Start());
    EXPECT_EQ(calibration.ReportedLatencyMs(), 0.0);
    for (int step = 1; step < 1000 && !calibration.IsDone(); ++step) {
        if (step % outputSteps == 0) {
            outputClock.Release(441 * outputSteps);
            outputClock.WaitUntilIdle();
        }
        inputPacer->Release(441);
        inputPacer->WaitUntilIdle();
    }
    EXPECT_TRUE(calibration.IsDone());
    const auto roundTrip = calibration.Finish();
    return roundTrip ? std::optional(calibration.Correction(*roundTrip)) : std::nullopt;
}

// On time or with the output thread running late, the calibration measures the loopback delay on
// the device it is given: the loopback input hears the output exactly its delay later, and
// PerformanceTest puts the simulated latencies of the null and WAV devices to use.
TEST(DeviceLatency, CalibrationGoesByTheDevicesMomentsNotByWhenTheirThreadsRun)
{
    for (const int outputSteps : {1, 2, 5}) {
        const auto measured = CalibrateOverLoopback(87ms, 1, outputSteps);
        ASSERT_TRUE(measured) << outputSteps;
        EXPECT_NEAR(measured->roundTripMs, 87.0, 0.05) << outputSteps;
        EXPECT_TRUE(measured->AppliesTo("loopback:87", "loopback")); // kept for the device that heard it
    }
    EXPECT_FALSE(CalibrateOverLoopback(87ms, 0)); // the first device listens on another line: no click heard
}

} // namespace
} // namespace linlangok
