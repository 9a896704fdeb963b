// Recording through the real capture path: a known signal in a WAV file, captured by the WAV-file
// input device in virtual time, through the shared capture stream and the wave-input buffers,
// into the recorder, and from there through the MP3 encoder into a saved file.
#include "engine/RecordingController.h"
#include "mixer/MemoryMixer.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace linlangok {
namespace {

// Pearson correlation of the left channels of `a` (from frame `shift`) and `b`, over `frames` frames.
double Correlation(
    const std::vector<int16_t>& a, size_t shift, const std::vector<int16_t>& b, size_t first, size_t frames)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t frame = first; frame < first + frames; ++frame) {
        const double x = a[(frame + shift) * 2];
        const double y = b[frame * 2];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb);
}

class RecordEndToEndTest : public ::testing::Test {
protected:
    RecordEndToEndTest() { test::WriteWavFile(m_input, m_signal); }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_input = m_folder.Path() / "voice.wav";
    std::vector<int16_t> m_signal = test::ChirpFrames(44100 * 5, 150, 3000, 0.5);
    std::shared_ptr<CManualPacer> m_clock = std::make_shared<CManualPacer>();
    CWaveInSystem m_system {{{"wav:voice", true, [this] { return CreateWavFileCapture(m_input, m_clock); }}}};
};

TEST_F(RecordEndToEndTest, RecordingIsSavedAsAnMp3ThatDecodesToTheSignal)
{
    CLameMp3EncoderLibrary encoder;
    const auto saved = m_folder.Path() / "take.mp3";
    test::CScriptedUserPrompts prompts;
    prompts.m_paths.push_back(saved);
    std::ostringstream output;
    CMemoryMixerSystem mixers;
    mixers.AddMixer();
    CInputDeviceList devices(m_system, mixers);
    {
        CRecordingController controller(devices, mixers, &encoder, m_folder.Path(), prompts, output);
        ASSERT_EQ(controller.DeviceNames(), std::vector<std::u16string> {u"wav:voice"});
        controller.SelectDevice(u"wav:voice");
        controller.StartRecording();
        ASSERT_TRUE(controller.IsRecording()) << output.str();
        m_clock->Release(154350); // 3.5 s
        m_clock->WaitUntilIdle();
        controller.StopRecording();
    }
    EXPECT_EQ(output.str(), "");
    EXPECT_TRUE(prompts.m_messages.empty());
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));

    // No tag, no VBR header. Every frame: MPEG-1 layer III, no CRC, 128 kbit/s, 44.1 kHz, private,
    // joint stereo, copyright, original, no emphasis; and no bit reservoir, so no frame borrows from an
    // earlier one (main_data_begin, the first 9 bits after the header, is 0).
    const std::string bytes = test::ReadWholeFile(saved);
    EXPECT_NE(bytes.compare(0, 3, "ID3"), 0);
    EXPECT_EQ(bytes.substr(0, 418).find("Xing"), std::string::npos);
    EXPECT_EQ(bytes.substr(0, 418).find("Info"), std::string::npos);
    const auto frames = test::Mp3Frames(bytes);
    ASSERT_GT(frames.size(), 130u);
    for (const test::Mp3Frame& frame : frames) {
        ASSERT_EQ(frame.header & 0xFFFFFDCF, 0xFFFB914Cu) << "frame at " << frame.offset;
        ASSERT_EQ(
            static_cast<uint8_t>(bytes[frame.offset + 4]) << 1 | static_cast<uint8_t>(bytes[frame.offset + 5]) >> 7, 0)
            << "main_data_begin at " << frame.offset;
    }

    // 3.5 s, plus the encoder's delay and the padding of its last frame.
    const auto decoded = test::ReadAudioFile(saved);
    const size_t decodedFrames = decoded.samples.size() / 2;
    EXPECT_EQ(decodedFrames, frames.size() * 1152);
    EXPECT_GE(decodedFrames, 154350u);
    EXPECT_LE(decodedFrames, 154350u + 3 * 1152);
    size_t bestShift = 0;
    double best = -1;
    for (size_t shift = 0; shift < 3000; ++shift) {
        const double correlation = Correlation(decoded.samples, shift, m_signal, 4410, 4410);
        if (correlation > best) {
            best = correlation;
            bestShift = shift;
        }
    }
    EXPECT_GT(Correlation(decoded.samples, bestShift, m_signal, 2000, 150000), 0.98) << "shift " << bestShift;
    // At 1 s the rising chirp on the left is at 720 Hz, the falling one on the right at 2430 Hz.
    const int16_t* second = decoded.samples.data() + (44100 + bestShift) * 2;
    EXPECT_NEAR(test::PeakFrequency(second, 2048, 2, 0, 44100, 500, 3200), 720, 20);
    EXPECT_NEAR(test::PeakFrequency(second, 2048, 2, 1, 44100, 500, 3200), 2430, 20);
}

} // namespace
} // namespace linlangok
