#include "core/mixer/MemoryMixer.h"
#include "core/performance/RecordingController.h"
#include "core/recording/LevelMeterCapture.h"
#include "tests/core/mixer/FakeControls.h"
#include "tests/core/recording/FakeMp3Encoder.h"
#include "tests/core/recording/RecordingFakeWaveIn.h"
#include "tests/support/FileAccess.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <sstream>
#include <stdexcept>

namespace linlangok {
namespace {

using Calls = std::vector<std::string>;

// Keeps every block it is given.
struct CBlockSink : IRecordingSink {
    void Write(const std::uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point) override
    {
        std::lock_guard lock(mutex);
        blocks.emplace_back(samples, samples + byteCount);
        arrived.notify_all();
    }
    void WaitForBlocks(size_t count)
    {
        std::unique_lock lock(mutex);
        arrived.wait(lock, [&] { return blocks.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::vector<std::uint8_t>> blocks;
};

auto Raises(const char* message)
{
    return testing::ThrowsMessage<std::runtime_error>(testing::StrEq(message));
}

TEST(WaveRecorder, StopAfterThreeAndAHalfSecondsHandsOnAFullAndAPartBlock)
{
    test::CFakeWaveIn waveIn;
    for (int call = 1; call <= 3; ++call) // closing is retried until the device closes
        waveIn.FailOn("close", call, kWaveInErrorStillPlaying);
    CMemoryMixerSystem mixers;
    CWaveRecorder recorder(waveIn, 0, waveIn.devices[0], mixers);
    CBlockSink sink;
    recorder.StartRecording(sink);
    EXPECT_EQ(waveIn.Calls(), (Calls {"open", "prepare", "prepare", "add", "add", "start"}));
    recorder.StartRecording(sink); // already recording: nothing happens
    EXPECT_EQ(waveIn.Calls().size(), 6u);
    waveIn.Capture(88200, 1, 2);
    sink.WaitForBlocks(1);
    waveIn.Capture(66150, 3, 4);
    EXPECT_EQ(recorder.RecordedFrames(), 154350u);
    waveIn.dropouts = 3;
    recorder.StopRecording();
    EXPECT_EQ(recorder.DropoutCount(), 3u);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(waveIn.IsOpen());
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.blocks[0].size(), 352800u);
    EXPECT_EQ(sink.blocks[1].size(), 264600u);
    EXPECT_EQ(sink.blocks[0][0], 1);
    EXPECT_EQ(sink.blocks[0][352798], 2);
    EXPECT_EQ(sink.blocks[1][264598], 4);
    const Calls calls = waveIn.Calls();
    EXPECT_EQ(Calls(calls.end() - 7, calls.end()),
        (Calls {"reset", "unprepare", "unprepare", "close", "close", "close", "close"}));

    // The recorder serves the next recording with the same buffers.
    CBlockSink next;
    recorder.StartRecording(next);
    waveIn.Capture(1000, 5, 6);
    recorder.StopRecording();
    ASSERT_EQ(next.blocks.size(), 1u);
    EXPECT_EQ(next.blocks[0].size(), 4000u);
    recorder.StopRecording();
}

// A start that fails at any step undoes the steps before it: the recorder raises the failure and
// the level meter shows it with its code, and both are idle again.
TEST(WaveInput, EveryFailedStepOfTheStartIsUndone)
{
    struct Case {
        const char* operation;
        int call;
        const char* raised;
        Calls calls; // the recorder's
        std::u16string shown;
    };
    const Case cases[] = {
        {"open", 1, "Can't open WaveIN Device.", {"open"}, u"Can't open WAVE In Device!"},
        {"prepare", 1, "Error preparing WAVEHDR 1.", {"open", "prepare", "close"},
            u"Error preparing WAVEHDR 1! -- 0000000B\n"},
        {"prepare", 2, "Error preparing WAVEHDR 2.", {"open", "prepare", "prepare", "unprepare", "close"},
            u"Error preparing WAVEHDR 2! -- 0000000B\n"},
        {"add", 1, "Error queueing WAVEHDR 1.",
            {"open", "prepare", "prepare", "add", "unprepare", "unprepare", "close"},
            u"Error queueing WAVEHDR 1! -- 0000000B\n"},
        {"add", 2, "Error queueing WAVEHDR 2.",
            {"open", "prepare", "prepare", "add", "add", "reset", "unprepare", "unprepare", "close"},
            u"Error queueing WAVEHDR 2! -- 0000000B\n"},
        {"start", 1, "Error starting record.",
            {"open", "prepare", "prepare", "add", "add", "start", "reset", "unprepare", "unprepare", "close"},
            u"Error starting record! -- 0000000B\n"},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.raised);
        test::CFakeWaveIn waveIn;
        waveIn.FailOn(failure.operation, failure.call, kWaveInErrorInvalidParameter);
        CMemoryMixerSystem mixers;
        CWaveRecorder recorder(waveIn, 0, waveIn.devices[0], mixers);
        CBlockSink sink;
        EXPECT_THAT([&] { recorder.StartRecording(sink); }, Raises(failure.raised));
        EXPECT_EQ(waveIn.Calls(), failure.calls);
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_FALSE(waveIn.IsOpen());
        recorder.StartRecording(sink);
        EXPECT_TRUE(recorder.IsRecording());
        recorder.StopRecording();

        test::CFakeWaveIn meterInput;
        meterInput.FailOn(failure.operation, failure.call, kWaveInErrorInvalidParameter);
        test::CScriptedUserPrompts prompts;
        CInputLevelMeterCapture meter(meterInput, prompts, nullptr);
        meter.Start();
        EXPECT_FALSE(meter.IsRunning());
        EXPECT_FALSE(meterInput.IsOpen());
        ASSERT_EQ(prompts.m_messages.size(), 1u);
        EXPECT_EQ(prompts.m_messages[0].text, failure.shown);
    }
}

TEST(LevelMeterCapture, EachBufferUpdatesLevelsAndIsQueuedAgain)
{
    test::CFakeWaveIn waveIn;
    test::CScriptedUserPrompts prompts;
    std::atomic<int> changes {0};
    CInputLevelMeterCapture meter(waveIn, prompts, [&] { changes++; });
    meter.Start();
    meter.Start(); // running: ignored
    ASSERT_TRUE(meter.IsRunning());
    EXPECT_EQ(waveIn.LastDevice(), kWaveMapper);
    waveIn.Capture(128, 6400, -32768);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(meter.Levels().left, 50);
    EXPECT_EQ(meter.Levels().right, 256);
    EXPECT_EQ(meter.HeldLevels().right, 256);
    waveIn.Capture(128 * 3, 0, 0);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(meter.Levels().right, 0);
    EXPECT_EQ(meter.HeldLevels().right, 244);
    EXPECT_EQ(waveIn.Queued(), 2u);
    meter.Stop();
    EXPECT_FALSE(meter.IsRunning());
    EXPECT_FALSE(waveIn.IsOpen());
    EXPECT_EQ(waveIn.Queued(), 0u);
    meter.Stop();
    EXPECT_TRUE(prompts.m_messages.empty());
}

class RecordingControllerTest : public ::testing::Test {
protected:
    RecordingControllerTest()
    {
        m_waveIn.devices = {{u"Line In", 0, 2}, {u"Microphone", kWaveFormat4S16, 2}, {u"USB", kWaveFormat4S16, 2}};
    }

    std::filesystem::path Temporary() const { return m_folder.Path() / ".$$a.tmp"; }

    test::CTemporaryFolder m_folder;
    // Device n's mixer is mixer n: the microphone's recording sources are `names`, the USB
    // device has a microphone line only.
    void AddMixers(const std::vector<std::u16string>& names)
    {
        m_mixers.AddMixer();
        auto& microphone = m_mixers.AddMixer().Layout();
        const auto waveIn = microphone.AddDestination(kMixerDestinationWaveIn, u"Recording", 2);
        for (const auto& name : names)
            microphone.AddSource(waveIn, kMixerSourceAnalog, name, 2);
        auto& usb = m_mixers.AddMixer().Layout();
        usb.AddSource(usb.AddDestination(kMixerDestinationWaveIn, u"Recording", 2), kMixerSourceMicrophone, u"Mic", 1);
    }

    test::FakeMp3Log m_log;
    test::CFakeMp3EncoderLibrary m_encoder {m_log};
    test::CGrantedFileLocks m_locks;
    test::CFakeWaveIn m_waveIn;
    test::CScriptedUserPrompts m_prompts;
    std::ostringstream m_output;
    CMemoryMixerSystem m_mixers;
    CInputDeviceList m_devices {m_waveIn, m_mixers};
};

TEST_F(RecordingControllerTest, RecordsSavesAndRemovesTheTemporaryFile)
{
    AddMixers({});
    CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
    EXPECT_EQ(controller.DeviceNames(), (std::vector<std::u16string> {u"Microphone", u"USB"}));
    controller.StartRecording(); // no device selected yet: says why
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string> {"没有可用的录音设备,无法录音。"});
    EXPECT_TRUE(m_waveIn.Calls().empty());
    EXPECT_FALSE(controller.IsRecording());
    controller.SelectDevice(u"Microphone");
    EXPECT_EQ(controller.SelectedRecorder()->DeviceNumber(), 1u);
    controller.StartRecording();
    EXPECT_TRUE(controller.IsRecording());
    EXPECT_TRUE(std::filesystem::exists(Temporary()));
    controller.StartRecording(); // already recording
    const Calls calls = m_waveIn.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 1);
    m_waveIn.Capture(3, 0x0101, 0x0202);

    const auto saved = m_folder.Path() / "我的歌.mp3";
    m_prompts.m_paths.push_back(saved);
    controller.StopRecording();
    EXPECT_FALSE(controller.IsRecording());
    EXPECT_FALSE(m_waveIn.IsOpen());
    ASSERT_EQ(m_prompts.m_fileDialogs.size(), 1u);
    EXPECT_EQ(m_log.settings.size(), 1u);
    EXPECT_EQ(m_log.calls, (std::vector<std::vector<std::int16_t>> {{0x0101, 0x0202, 0x0101, 0x0202, 0x0101, 0x0202}}));
    EXPECT_EQ(test::ReadWholeFile(saved), "E3;F;");
    EXPECT_FALSE(std::filesystem::exists(Temporary()));
    EXPECT_EQ(m_output.str(), "没有可用的录音设备,无法录音。\n");
    controller.StopRecording(); // nothing records: no dialog
    EXPECT_EQ(m_prompts.m_fileDialogs.size(), 1u);
}

TEST_F(RecordingControllerTest, ErrorsGoToStandardOutputAndThePromptsAndLeaveNoRecording)
{
    AddMixers({});
    {
        CRecordingController withoutEncoder(
            m_devices, m_mixers, nullptr, m_folder.Path(), m_locks, m_prompts, m_output);
        withoutEncoder.SelectDevice(u"Microphone");
        withoutEncoder.StartRecording();
        EXPECT_FALSE(withoutEncoder.IsRecording());
        EXPECT_TRUE(m_waveIn.Calls().empty());
    }
    CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
    controller.SelectDevice(u"Microphone");
    m_waveIn.FailOn("open", 1, kWaveInErrorAllocated);
    controller.StartRecording();
    EXPECT_FALSE(controller.IsRecording());
    controller.StopRecording(); // a failed start is not saved
    EXPECT_TRUE(m_prompts.m_fileDialogs.empty());
    EXPECT_EQ(m_output.str(), "Error loading lame_enc.DLL\nCan't open WaveIN Device.\n");
    ASSERT_EQ(m_prompts.MessageTexts(),
        (std::vector<std::string> {"Error loading lame_enc.DLL", "Can't open WaveIN Device."}));

    for (const std::u16string_view name : {u"Line In" /* cannot record */, u"", u"microphone"})
        EXPECT_THAT([&] { controller.SelectDevice(std::u16string(name)); }, Raises("Device not found."));
    EXPECT_EQ(controller.SelectedRecorder()->Capabilities().name, u"Microphone");
}

TEST_F(RecordingControllerTest, ADiskThatFillsKeepsTheTakeSaysSoAndStillOffersToSaveIt)
{
    AddMixers({});
    CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
    controller.SelectDevice(u"Microphone");
    controller.StartRecording();
    const auto saved = m_folder.Path() / "take.mp3";
    m_prompts.m_paths.push_back(saved);
    {
        test::CFileSizeLimit limit(10); // room for the first block's "E88200;", not for the next
        m_waveIn.Capture(88200, 1, 1);
        m_waveIn.Capture(100, 2, 2); // handed over at the stop
        EXPECT_EQ(controller.StopRecording().path, saved);
    }
    EXPECT_EQ(m_output.str(), "Can't write MP3 file.\n");
    EXPECT_EQ(m_prompts.MessageTexts(), std::vector<std::string> {"Can't write MP3 file."});
    EXPECT_EQ(test::ReadWholeFile(saved), "E88200;");
    EXPECT_FALSE(std::filesystem::exists(Temporary()));
}

TEST_F(RecordingControllerTest, StereoMixSliderTakesTheFirstNameThatExists)
{
    AddMixers({u"Mic", u"立体声混音", u"StereoMix", u"Stereo Mix "});
    CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
    test::CFakeSlider slider;
    controller.StereoMixSlider().Attach(&slider);
    controller.BindStereoMixSlider(); // no device selected
    EXPECT_EQ(controller.StereoMixSlider().Line(), nullptr);
    EXPECT_FALSE(slider.m_enabled);

    controller.SelectDevice(u"Microphone");
    EXPECT_EQ(
        controller.LineNames(), (std::vector<std::u16string> {u"Mic", u"立体声混音", u"StereoMix", u"Stereo Mix "}));
    controller.BindStereoMixSlider();
    ASSERT_NE(controller.StereoMixSlider().Line(), nullptr);
    EXPECT_EQ(controller.StereoMixSlider().Line()->Name(), u"StereoMix");

    controller.SelectDevice(u"USB"); // no stereo-mix line there
    EXPECT_EQ(controller.LineNames(), std::vector<std::u16string> {u"Mic"});
    controller.BindStereoMixSlider();
    EXPECT_EQ(controller.StereoMixSlider().Line(), nullptr);
    EXPECT_FALSE(slider.m_enabled);
}

TEST_F(RecordingControllerTest, DeviceWhoseMixerCannotOpenIsSelectedWithoutLines)
{
    AddMixers({u"立體聲混音"});
    m_mixers.RefuseOpening(true);
    CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
    EXPECT_THAT([&] { controller.SelectDevice(u"Microphone"); }, Raises("Can't open Mixer Device."));
    EXPECT_EQ(controller.SelectedRecorder()->Capabilities().name, u"Microphone");
    EXPECT_TRUE(controller.LineNames().empty());
    controller.BindStereoMixSlider();
    EXPECT_EQ(controller.StereoMixSlider().Line(), nullptr);
    m_mixers.RefuseOpening(false);
    controller.SelectDevice(u"Microphone");
    controller.BindStereoMixSlider();
    ASSERT_NE(controller.StereoMixSlider().Line(), nullptr);
    EXPECT_EQ(controller.StereoMixSlider().Line()->Name(), u"立體聲混音");
}

TEST_F(RecordingControllerTest, DestroyedWhileRecordingStopsWithoutSaving)
{
    AddMixers({});
    {
        CRecordingController controller(m_devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output);
        controller.SelectDevice(u"USB");
        controller.StartRecording();
        m_waveIn.Capture(10, 7, 7);
    }
    EXPECT_FALSE(m_waveIn.IsOpen());
    EXPECT_TRUE(m_prompts.m_fileDialogs.empty());
    EXPECT_EQ(test::ReadWholeFile(Temporary()), "E10;F;"); // finished
}

} // namespace
} // namespace linlangok
