#include "engine/RecordingController.h"
#include "engine/RecordingSaveAs.h"
#include "tests/engine/RecordingFakeWaveIn.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace linlangok {
namespace {

using Calls = std::vector<std::string>;

// Keeps every block it is given.
struct CBlockSink : IRecordingSink {
    void Write(const uint8_t* samples, size_t byteCount) override
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
    std::vector<std::vector<uint8_t>> blocks;
};

// A writer that keeps the blocks in a temporary file of its own.
struct CFileWriter : IRecordingWriter {
    CFileWriter(std::filesystem::path path, std::vector<std::string>& log)
        : path(std::move(path))
        , log(log)
    {
    }
    void OpenTemporaryFile() override
    {
        log.push_back("open file");
        file.open(path, std::ios::binary | std::ios::trunc);
        if (!file)
            throw std::runtime_error("Can't create MP3 file.");
    }
    void Write(const uint8_t* samples, size_t byteCount) override
    {
        file.write(reinterpret_cast<const char*>(samples), static_cast<std::streamsize>(byteCount));
    }
    void Close() override
    {
        log.push_back("close file");
        file.close();
    }
    std::filesystem::path TemporaryPath() const override { return path; }

    std::filesystem::path path;
    std::vector<std::string>& log;
    std::ofstream file;
};

struct CFakeLines : IInputMixerLines {
    void Open() override
    {
        if (broken)
            throw std::runtime_error("Can't open Mixer Device.");
        opened = true;
    }
    std::vector<std::u16string> LineNames() const override { return opened ? names : std::vector<std::u16string> {}; }
    std::vector<std::u16string> names;
    bool broken = false;
    bool opened = false;
};

struct CFakeSlider : ILineVolumeSlider {
    void Bind(IInputMixerLines* lines, const std::u16string& lineName) override
    {
        boundLines = lines;
        boundName = lineName;
    }
    IInputMixerLines* boundLines = reinterpret_cast<IInputMixerLines*>(1);
    std::u16string boundName = u"unbound";
};

std::string RaisedBy(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(WaveRecorder, StopAfterThreeAndAHalfSecondsHandsOnAFullAndAPartBlock)
{
    test::CFakeWaveIn waveIn;
    CWaveRecorder recorder(waveIn, 0, waveIn.devices[0], nullptr);
    CBlockSink sink;
    recorder.StartRecording(sink);
    EXPECT_EQ(waveIn.Calls(), (Calls {"open", "prepare", "prepare", "add", "add", "start"}));
    recorder.StartRecording(sink); // already recording: nothing happens
    EXPECT_EQ(waveIn.Calls().size(), 6u);
    waveIn.Capture(88200, 1, 2);
    sink.WaitForBlocks(1);
    waveIn.Capture(66150, 3, 4);
    recorder.StopRecording();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(waveIn.IsOpen());
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.blocks[0].size(), 352800u);
    EXPECT_EQ(sink.blocks[1].size(), 264600u);
    EXPECT_EQ(sink.blocks[0][0], 1);
    EXPECT_EQ(sink.blocks[0][352798], 2);
    EXPECT_EQ(sink.blocks[1][264598], 4);
    const Calls calls = waveIn.Calls();
    EXPECT_EQ(Calls(calls.end() - 4, calls.end()), (Calls {"reset", "unprepare", "unprepare", "close"}));

    // The recorder serves the next recording with the same buffers.
    CBlockSink next;
    recorder.StartRecording(next);
    waveIn.Capture(1000, 5, 6);
    recorder.StopRecording();
    ASSERT_EQ(next.blocks.size(), 1u);
    EXPECT_EQ(next.blocks[0].size(), 4000u);
    recorder.StopRecording();
}

TEST(WaveRecorder, EveryFailedStepOfTheStartIsUndoneAndRaised)
{
    struct Case {
        const char* operation;
        int call;
        const char* message;
        Calls calls;
    };
    const Case cases[] = {
        {"open", 1, "Can't open WaveIN Device.", {"open"}},
        {"prepare", 1, "Error preparing WAVEHDR 1.", {"open", "prepare", "close"}},
        {"prepare", 2, "Error preparing WAVEHDR 2.", {"open", "prepare", "prepare", "unprepare", "close"}},
        {"add", 1, "Error queueing WAVEHDR 1.",
            {"open", "prepare", "prepare", "add", "unprepare", "unprepare", "close"}},
        {"add", 2, "Error queueing WAVEHDR 2.",
            {"open", "prepare", "prepare", "add", "add", "reset", "unprepare", "unprepare", "close"}},
        {"start", 1, "Error starting record.",
            {"open", "prepare", "prepare", "add", "add", "start", "reset", "unprepare", "unprepare", "close"}},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.message);
        test::CFakeWaveIn waveIn;
        waveIn.FailOn(failure.operation, failure.call, kWaveInErrorAllocated);
        CWaveRecorder recorder(waveIn, 0, waveIn.devices[0], nullptr);
        CBlockSink sink;
        EXPECT_EQ(RaisedBy([&] { recorder.StartRecording(sink); }), failure.message);
        EXPECT_EQ(waveIn.Calls(), failure.calls);
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_FALSE(waveIn.IsOpen());
        // Idle again: the next start works.
        recorder.StartRecording(sink);
        EXPECT_TRUE(recorder.IsRecording());
        recorder.StopRecording();
    }
}

TEST(WaveRecorder, ClosingIsRetriedUntilTheDeviceCloses)
{
    test::CFakeWaveIn waveIn;
    for (int call = 1; call <= 3; ++call)
        waveIn.FailOn("close", call, kWaveInErrorStillPlaying);
    CWaveRecorder recorder(waveIn, 0, waveIn.devices[0], nullptr);
    CBlockSink sink;
    recorder.StartRecording(sink);
    recorder.StopRecording();
    const Calls calls = waveIn.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "close"), 4);
    EXPECT_FALSE(waveIn.IsOpen());
}

class RecordingControllerTest : public ::testing::Test {
protected:
    RecordingControllerTest()
    {
        m_waveIn.devices = {{u"Line In", 0, 2}, {u"Microphone", kWaveFormat4S16, 2}, {u"USB", kWaveFormat4S16, 2}};
    }

    RecordingWriterFactory Writers()
    {
        return [this] {
            m_log.push_back("new writer");
            return std::make_unique<CFileWriter>(m_folder.Path() / ".$$a.tmp", m_log);
        };
    }

    test::CTemporaryFolder m_folder;
    test::CFakeWaveIn m_waveIn;
    test::CScriptedUserPrompts m_prompts;
    std::vector<std::string> m_log;
    std::ostringstream m_output;
    CFakeLines* m_microphoneLines = nullptr;
    CInputDeviceList m_devices {m_waveIn, [this](uint32_t device) -> std::unique_ptr<IInputMixerLines> {
                                    auto lines = std::make_unique<CFakeLines>();
                                    if (device == 1)
                                        m_microphoneLines = lines.get();
                                    return lines;
                                }};
};

TEST_F(RecordingControllerTest, RecordsSavesAndRemovesTheTemporaryFile)
{
    CRecordingController controller(m_devices, Writers(), m_prompts, m_output);
    EXPECT_EQ(controller.DeviceNames(), (std::vector<std::u16string> {u"Microphone", u"USB"}));
    controller.StartRecording(); // no device selected yet
    EXPECT_TRUE(m_log.empty());
    controller.SelectDevice(u"Microphone");
    EXPECT_EQ(controller.SelectedRecorder()->DeviceNumber(), 1u);
    controller.StartRecording();
    EXPECT_TRUE(controller.IsRecording());
    controller.StartRecording(); // already recording
    EXPECT_EQ(m_log, (Calls {"new writer", "open file"}));
    m_waveIn.Capture(3, 0x0101, 0x0202);

    const auto saved = m_folder.Path() / "我的歌.mp3";
    m_prompts.m_paths.push_back(saved);
    controller.StopRecording();
    EXPECT_FALSE(controller.IsRecording());
    EXPECT_EQ(m_log.back(), "close file");
    ASSERT_EQ(m_prompts.m_fileDialogs.size(), 1u);
    EXPECT_EQ(m_prompts.m_fileDialogs[0].filters[0].description, u"Music Files (*.mp3)");
    EXPECT_EQ(m_prompts.m_fileDialogs[0].filters[0].patterns, u"*.mp3");
    const std::string frame = "\x01\x01\x02\x02";
    EXPECT_EQ(test::ReadWholeFile(saved), frame + frame + frame);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));
    EXPECT_EQ(m_output.str(), "");
    controller.StopRecording(); // nothing records: no dialog
    EXPECT_EQ(m_prompts.m_fileDialogs.size(), 1u);
}

TEST_F(RecordingControllerTest, ErrorsGoToStandardOutputAndLeaveNoRecording)
{
    CRecordingController failingWriter(
        m_devices,
        []() -> std::unique_ptr<IRecordingWriter> { throw std::runtime_error("Error loading lame_enc.DLL"); },
        m_prompts, m_output);
    failingWriter.SelectDevice(u"Microphone");
    failingWriter.StartRecording();
    EXPECT_EQ(m_output.str(), "Error loading lame_enc.DLL\n");
    EXPECT_FALSE(failingWriter.IsRecording());

    m_output.str("");
    m_waveIn.FailOn("open", 1, kWaveInErrorAllocated);
    CRecordingController controller(m_devices, Writers(), m_prompts, m_output);
    controller.SelectDevice(u"Microphone");
    controller.StartRecording();
    EXPECT_EQ(m_output.str(), "Can't open WaveIN Device.\n");
    EXPECT_FALSE(controller.IsRecording());
    controller.StopRecording(); // a failed start is not saved
    EXPECT_TRUE(m_prompts.m_fileDialogs.empty());
    EXPECT_TRUE(m_prompts.m_messages.empty());

    EXPECT_EQ(RaisedBy([&] { controller.SelectDevice(u"Line In"); }), "Device not found."); // cannot record
    EXPECT_EQ(RaisedBy([&] { controller.SelectDevice(u""); }), "Device not found.");
    EXPECT_EQ(RaisedBy([&] { controller.SelectDevice(u"microphone"); }), "Device not found.");
    EXPECT_EQ(controller.SelectedRecorder()->Capabilities().name, u"Microphone");
}

TEST_F(RecordingControllerTest, StereoMixSliderTakesTheFirstNameThatExists)
{
    CRecordingController controller(m_devices, Writers(), m_prompts, m_output);
    CFakeSlider slider;
    controller.BindStereoMixSlider(slider); // no device selected
    EXPECT_EQ(slider.boundLines, nullptr);

    m_devices.InputDevices();
    m_microphoneLines->names = {u"Mic", u"立体声混音", u"StereoMix", u"Stereo Mix "};
    controller.SelectDevice(u"Microphone");
    EXPECT_EQ(controller.LineNames(), m_microphoneLines->names);
    controller.BindStereoMixSlider(slider);
    EXPECT_EQ(slider.boundLines, m_microphoneLines);
    EXPECT_EQ(slider.boundName, u"StereoMix");

    m_microphoneLines->names = {u"Mic", u"立體聲混音"};
    controller.SelectDevice(u"Microphone");
    controller.BindStereoMixSlider(slider);
    EXPECT_EQ(slider.boundName, u"立體聲混音");

    controller.SelectDevice(u"USB"); // no stereo-mix line there
    controller.BindStereoMixSlider(slider);
    EXPECT_EQ(slider.boundLines, nullptr);

    m_microphoneLines->broken = true;
    m_microphoneLines->opened = false;
    EXPECT_EQ(RaisedBy([&] { controller.SelectDevice(u"Microphone"); }), "Can't open Mixer Device.");
}

TEST_F(RecordingControllerTest, DestroyedWhileRecordingStopsWithoutSaving)
{
    {
        CRecordingController controller(m_devices, Writers(), m_prompts, m_output);
        controller.SelectDevice(u"USB");
        controller.StartRecording();
        m_waveIn.Capture(10, 7, 7);
    }
    EXPECT_FALSE(m_waveIn.IsOpen());
    EXPECT_EQ(m_log.back(), "close file");
    EXPECT_TRUE(m_prompts.m_fileDialogs.empty());
    EXPECT_EQ(std::filesystem::file_size(m_folder.Path() / ".$$a.tmp"), 40u);
}

class SaveRecordingAsTest : public ::testing::Test {
protected:
    test::CTemporaryFolder m_folder;
    std::filesystem::path m_temporary = m_folder.WriteFile(".$$a.tmp", "recorded");
    test::CScriptedUserPrompts m_prompts;
};

TEST_F(SaveRecordingAsTest, CancelKeepsTheTemporaryFile)
{
    EXPECT_EQ(SaveRecordingAs(m_prompts, m_temporary), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(m_temporary), "recorded");
}

TEST_F(SaveRecordingAsTest, ExistingFileIsOverwrittenOnlyAfterYes)
{
    const auto existing = m_folder.WriteFile("old.mp3", "old song");
    const auto fresh = m_folder.Path() / "new.mp3";
    m_prompts.m_answers = {EPromptAnswer::No};
    // No, then cancel: nothing saved, nothing lost.
    m_prompts.m_paths = {existing, std::nullopt};
    EXPECT_EQ(SaveRecordingAs(m_prompts, m_temporary), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(existing), "old song");
    EXPECT_EQ(test::ReadWholeFile(m_temporary), "recorded");
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"琳朗卡拉OK 1.2");
    EXPECT_EQ(m_prompts.m_messages[0].text, u"该文件已经存在,您确定要覆盖它吗?");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::YesNo);

    // No, then another name.
    m_prompts.m_paths = {existing, fresh};
    m_prompts.m_answers = {EPromptAnswer::No};
    EXPECT_EQ(SaveRecordingAs(m_prompts, m_temporary), fresh);
    EXPECT_EQ(test::ReadWholeFile(fresh), "recorded");
    EXPECT_EQ(test::ReadWholeFile(existing), "old song");
    EXPECT_FALSE(std::filesystem::exists(m_temporary));

    // Yes overwrites.
    m_temporary = m_folder.WriteFile(".$$a.tmp", "second take");
    m_prompts.m_paths = {existing};
    m_prompts.m_answers = {EPromptAnswer::Yes};
    EXPECT_EQ(SaveRecordingAs(m_prompts, m_temporary), existing);
    EXPECT_EQ(test::ReadWholeFile(existing), "second take");
    const auto permissions = std::filesystem::status(existing).permissions();
    EXPECT_NE(permissions & std::filesystem::perms::others_read, std::filesystem::perms::none);
    EXPECT_FALSE(std::filesystem::exists(m_temporary));
}

TEST_F(SaveRecordingAsTest, FailedCopyIsReportedAndAskedAgain)
{
    const auto unwritable = m_folder.Path() / "no such folder" / "song.mp3";
    m_prompts.m_paths = {unwritable, m_temporary, std::nullopt};
    m_prompts.m_answers = {EPromptAnswer::Ok, EPromptAnswer::Yes};
    EXPECT_EQ(SaveRecordingAs(m_prompts, m_temporary), std::nullopt);
    EXPECT_EQ(m_prompts.m_fileDialogs.size(), 3u);
    // The missing folder, then the temporary file itself (after the overwrite question).
    ASSERT_EQ(m_prompts.MessageTexts(),
        (std::vector<std::string> {"保存文件时出错!", "该文件已经存在,您确定要覆盖它吗?", "保存文件时出错!"}));
    EXPECT_EQ(test::ReadWholeFile(m_temporary), "recorded");
}

} // namespace
} // namespace linlangok
