#include "core/midiplay/MidiOutputWorker.h"
#include "tests/support/CaptureMidiOutput.h"
#include "tests/support/ScriptedUserPrompts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace linlangok {
namespace {

using test::CScriptedUserPrompts;
using testing::ElementsAre;

// A worker over one capture device.
struct MidiOutputWorkerTest : ::testing::Test {
    CScriptedUserPrompts prompts;
    CCaptureMidiOutputList devices;
    CMidiOutputWorker worker {prompts, devices};
    static constexpr std::uint8_t kReset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}; // GM System On
};

TEST_F(MidiOutputWorkerTest, NoDeviceOrOneThatWillNotOpenIsShownAndLeavesTheWorkerClosedAndSilent)
{
    CCaptureMidiOutputList none(0);
    CMidiOutputWorker nothing(prompts, none);
    EXPECT_EQ(nothing.OpenFirstAvailable(), 0);
    EXPECT_EQ(nothing.OpenFirstAvailable(), 0); // shown on every attempt

    devices.SetOpenFails(true);
    EXPECT_EQ(worker.OpenFirstAvailable(), 0);
    EXPECT_THAT(prompts.MessageTexts(),
        ElementsAre("无MIDI输出设备!\n", "无MIDI输出设备!\n", "打开设备时出错!请尝试设置MIDI输出设备!"));
    EXPECT_FALSE(nothing.IsOpen() || worker.IsOpen());
    EXPECT_NO_THROW(worker.SendShort(0x403C90));
    EXPECT_TRUE(devices.Messages().empty());
    worker.Close();
}

TEST_F(MidiOutputWorkerTest, OpenTwiceReopensAndSendsGoThroughWhileOpen)
{
    EXPECT_EQ(worker.OpenFirstAvailable(), 1);
    EXPECT_EQ(worker.Open(0), 1); // closes the first connection, joining its thread
    EXPECT_EQ(devices.OpenCount(), 2);
    EXPECT_EQ(devices.OpenDevice(), 0);
    worker.SendShort(0x403C90);
    worker.SendShort(0x003C80);
    worker.Close();
    worker.Close();
    EXPECT_EQ(devices.OpenDevice(), -1);
    worker.SendShort(0x7F0AB0);
    EXPECT_THAT(devices.ShortMessages(), ElementsAre(0x403C90u, 0x003C80u));
    EXPECT_TRUE(prompts.m_messages.empty());
    {
        CMidiOutputWorker destroyedOpen(prompts, devices);
        ASSERT_EQ(destroyedOpen.OpenFirstAvailable(), 1);
    }
    EXPECT_EQ(devices.OpenDevice(), -1);
}

TEST_F(MidiOutputWorkerTest, DeviceFailureRaisesTheSendError)
{
    ASSERT_EQ(worker.OpenFirstAvailable(), 1);
    devices.SetSendFails(true);
    EXPECT_THAT([&] { worker.SendShort(0x403C90); },
        testing::ThrowsMessage<std::runtime_error>(testing::StrEq("MIDIOut发送消息出错!")));
    EXPECT_THROW(worker.SendLong(kReset, sizeof kReset), std::runtime_error);
    EXPECT_EQ(worker.PendingRecords(), 0u);
}

TEST_F(MidiOutputWorkerTest, WorkerThreadReleasesRecordsAsTheDeviceReportsThemDone)
{
    devices.SetHoldLongMessageDone(true);
    ASSERT_EQ(worker.OpenFirstAvailable(), 1);
    worker.SendLong(kReset, sizeof kReset);
    worker.SendLong(kReset, sizeof kReset);
    EXPECT_EQ(worker.PendingRecords(), 2u);
    EXPECT_EQ(devices.CompleteLongMessages(), 2u);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (worker.PendingRecords() != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(worker.PendingRecords(), 0u);
    ASSERT_EQ(devices.Messages().size(), 2u);
    EXPECT_EQ(devices.Messages()[1].bytes, std::vector<std::uint8_t>(kReset, kReset + sizeof kReset));

    // Records the device still holds at close are released before it closes.
    worker.SendLong(kReset, sizeof kReset);
    EXPECT_EQ(worker.PendingRecords(), 1u);
    worker.Close();
    EXPECT_EQ(worker.PendingRecords(), 0u);
    EXPECT_EQ(devices.OpenDevice(), -1);
}

} // namespace
} // namespace linlangok
