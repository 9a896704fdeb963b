#include "platform/audio/ClockedCapture.h"
#include "platform/audio/WaveInSystem.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace linlangok {
namespace {

// Records the notifications and, when asked, queues each returned buffer again.
struct CRecordingClient : IWaveInClient {
    void OnWaveInOpen() override { opened++; }
    void OnWaveInClose() override { closed++; }
    void OnWaveInData(WaveInBuffer& buffer) override
    {
        {
            std::lock_guard lock(mutex);
            blocks.emplace_back(reinterpret_cast<std::int16_t*>(buffer.data),
                reinterpret_cast<std::int16_t*>(buffer.data) + buffer.bytesRecorded / 2);
            EXPECT_EQ(buffer.flags & (kWaveBufferDone | kWaveBufferInQueue), kWaveBufferDone);
        }
        if (requeue) {
            EXPECT_EQ(handle->AddBuffer(buffer), kWaveInOk);
        }
    }
    std::vector<std::vector<std::int16_t>> Blocks()
    {
        std::lock_guard lock(mutex);
        return blocks;
    }

    std::atomic<int> opened {0};
    std::atomic<int> closed {0};
    std::atomic<bool> requeue {false};
    std::unique_ptr<IWaveInHandle> handle;
    std::mutex mutex;
    std::vector<std::vector<std::int16_t>> blocks;
};

struct CBuffers {
    explicit CBuffers(size_t bytes)
        : memory(bytes * 2)
    {
        first = {memory.data(), static_cast<std::uint32_t>(bytes)};
        second = {memory.data() + bytes, static_cast<std::uint32_t>(bytes)};
    }
    std::vector<std::uint8_t> memory;
    WaveInBuffer first;
    WaveInBuffer second;
};

class WaveInTest : public ::testing::Test {
protected:
    WaveInTest() { test::WriteWavFile(m_path, m_signal); }

    // A system with the WAV file on device 0 (counting its streams) and an unreadable one on 1.
    CWaveInSystem System()
    {
        return CWaveInSystem({{"file", true,
                                  [this] {
                                      m_streamsCreated++;
                                      return CreateWavFileCapture(m_path, m_clock);
                                  }},
            {"broken", false, [this] { return CreateWavFileCapture(m_folder.Path() / "missing.wav", m_clock); }}});
    }

    std::vector<std::int16_t> Signal(size_t firstFrame, size_t frames) const
    {
        return {m_signal.begin() + static_cast<long>(firstFrame * 2),
            m_signal.begin() + static_cast<long>((firstFrame + frames) * 2)};
    }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_path = m_folder.Path() / "input.wav";
    std::vector<std::int16_t> m_signal = test::ChirpFrames(44100, 100, 5000, 0.7);
    std::shared_ptr<CManualPacer> m_clock = std::make_shared<CManualPacer>();
    int m_streamsCreated = 0;
};

TEST_F(WaveInTest, BuffersFillInOrderAndResetReturnsTheRest)
{
    CWaveInSystem system = System();
    EXPECT_EQ(system.DeviceCount(), 2u);
    WaveInCapabilities capabilities;
    ASSERT_EQ(system.Capabilities(1, capabilities), kWaveInOk);
    EXPECT_EQ(capabilities.name, u"broken");
    EXPECT_EQ(capabilities.formats, 0u);
    ASSERT_EQ(system.Capabilities(0, capabilities), kWaveInOk);
    EXPECT_EQ(capabilities.formats, kWaveFormat4S16);
    EXPECT_EQ(system.Capabilities(2, capabilities), kWaveInErrorBadDevice);
    // A device that cannot start refuses to open.
    CRecordingClient refused;
    EXPECT_EQ(system.Open(1, refused, refused.handle), kWaveInErrorAllocated);
    EXPECT_EQ(system.Open(7, refused, refused.handle), kWaveInErrorBadDevice);
    EXPECT_EQ(CWaveInSystem({}).Open(kWaveMapper, refused, refused.handle), kWaveInErrorBadDevice);
    EXPECT_EQ(refused.handle, nullptr);
    EXPECT_EQ(refused.opened, 0);

    CRecordingClient client;
    ASSERT_EQ(system.Open(0, client, client.handle), kWaveInOk);
    EXPECT_EQ(client.opened, 1);
    CBuffers buffers(1000 * 4);
    IWaveInHandle& device = *client.handle;
    EXPECT_EQ(device.AddBuffer(buffers.first), kWaveInErrorUnprepared);
    ASSERT_EQ(device.PrepareBuffer(buffers.first), kWaveInOk);
    ASSERT_EQ(device.PrepareBuffer(buffers.second), kWaveInOk);
    ASSERT_EQ(device.AddBuffer(buffers.first), kWaveInOk);
    ASSERT_EQ(device.AddBuffer(buffers.second), kWaveInOk);
    EXPECT_EQ(device.UnprepareBuffer(buffers.first), kWaveInErrorStillPlaying);
    ASSERT_EQ(device.Start(), kWaveInOk);
    client.requeue = true;
    m_clock->Release(441 * 7); // 3087 frames: three full buffers and 87 frames of the fourth
    m_clock->WaitUntilIdle();
    client.requeue = false;
    EXPECT_EQ(device.Close(), kWaveInErrorStillPlaying);
    ASSERT_EQ(device.Reset(), kWaveInOk);
    EXPECT_EQ(device.UnprepareBuffer(buffers.first), kWaveInOk);
    EXPECT_EQ(device.UnprepareBuffer(buffers.second), kWaveInOk);
    ASSERT_EQ(device.Close(), kWaveInOk);
    EXPECT_EQ(client.closed, 1);

    const auto blocks = client.Blocks();
    ASSERT_EQ(blocks.size(), 5u); // three full, the part-filled fourth, the empty fifth
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(blocks[i], Signal(i * 1000, 1000));
    EXPECT_EQ(blocks[3], Signal(3000, 87));
    EXPECT_TRUE(blocks[4].empty());
}

TEST_F(WaveInTest, HandlesOnOneDeviceShareOneStream)
{
    CWaveInSystem system = System();
    CRecordingClient meter, recorder;
    ASSERT_EQ(system.Open(kWaveMapper, meter, meter.handle), kWaveInOk);
    ASSERT_EQ(system.Open(0, recorder, recorder.handle), kWaveInOk);
    EXPECT_EQ(m_streamsCreated, 1);
    CBuffers small(441 * 4), large(882 * 4);
    for (auto* client : {&meter, &recorder}) {
        CBuffers& buffers = client == &meter ? small : large;
        client->handle->PrepareBuffer(buffers.first);
        client->handle->PrepareBuffer(buffers.second);
        client->handle->AddBuffer(buffers.first);
        client->handle->AddBuffer(buffers.second);
        client->handle->Start();
        client->requeue = true;
    }
    m_clock->Release(882 * 2);
    m_clock->WaitUntilIdle();
    for (auto* client : {&meter, &recorder}) {
        client->requeue = false;
        client->handle->Reset();
        EXPECT_EQ(client->handle->Close(), kWaveInOk);
    }
    const auto meterBlocks = meter.Blocks();
    const auto recorderBlocks = recorder.Blocks();
    ASSERT_GE(meterBlocks.size(), 4u);
    ASSERT_GE(recorderBlocks.size(), 2u);
    EXPECT_EQ(meterBlocks[3], Signal(1323, 441));
    EXPECT_EQ(recorderBlocks[1], Signal(882, 882));

    // With both closed the stream is gone; the next open starts the file again.
    CRecordingClient again;
    ASSERT_EQ(system.Open(0, again, again.handle), kWaveInOk);
    EXPECT_EQ(m_streamsCreated, 2);
    again.handle->PrepareBuffer(small.first);
    again.handle->AddBuffer(small.first);
    again.handle->Start();
    m_clock->Release(441);
    m_clock->WaitUntilIdle();
    ASSERT_EQ(again.Blocks().size(), 1u);
    EXPECT_EQ(again.Blocks()[0], Signal(0, 441));
}

} // namespace
} // namespace linlangok
