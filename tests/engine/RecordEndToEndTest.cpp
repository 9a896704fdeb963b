// Recording through the real capture path: a known signal in a WAV file, captured by the WAV-file
// input device in virtual time, through the shared capture stream and the wave-input buffers,
// into the recorder.
#include "engine/WaveRecorder.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/audio/WaveInSystem.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

namespace linlangok {
namespace {

struct CBlockSink : IRecordingSink {
    void Write(const uint8_t* samples, size_t byteCount) override
    {
        std::lock_guard lock(mutex);
        std::vector<int16_t> block(byteCount / 2);
        std::memcpy(block.data(), samples, byteCount);
        blocks.push_back(std::move(block));
    }
    std::mutex mutex;
    std::vector<std::vector<int16_t>> blocks;
};

class RecordEndToEndTest : public ::testing::Test {
protected:
    RecordEndToEndTest() { test::WriteWavFile(m_input, m_signal); }

    std::vector<int16_t> Signal(size_t firstFrame, size_t frames) const
    {
        return {m_signal.begin() + static_cast<long>(firstFrame * 2),
            m_signal.begin() + static_cast<long>((firstFrame + frames) * 2)};
    }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_input = m_folder.Path() / "voice.wav";
    std::vector<int16_t> m_signal = test::ChirpFrames(44100 * 5, 150, 3000, 0.5);
    std::shared_ptr<CManualPacer> m_clock = std::make_shared<CManualPacer>();
    CWaveInSystem m_system {{{"wav:voice", true, [this] { return CreateWavFileCapture(m_input, m_clock); }}}};
};

TEST_F(RecordEndToEndTest, ThreeAndAHalfSecondsArriveAsTheSignalInTwoBlocks)
{
    WaveInCapabilities capabilities;
    ASSERT_EQ(m_system.Capabilities(0, capabilities), kWaveInOk);
    CWaveRecorder recorder(m_system, 0, capabilities, nullptr);
    CBlockSink sink;
    recorder.StartRecording(sink);
    m_clock->Release(154350);
    m_clock->WaitUntilIdle();
    recorder.StopRecording();
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.blocks[0], Signal(0, 88200));
    EXPECT_EQ(sink.blocks[1], Signal(88200, 66150));
}

} // namespace
} // namespace linlangok
