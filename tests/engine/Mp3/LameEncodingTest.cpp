#include "engine/Mp3StreamWriter.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace linlangok {
namespace {

// The 128 kbit/s frames of a recording are checked end to end in RecordEndToEndTest.
class LameEncodingTest : public testing::Test {
protected:
    CLameMp3EncoderLibrary m_encoder;
    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
};

TEST_F(LameEncodingTest, ThirtyTwoKilobitsSelectMpeg2)
{
    const auto samples = test::SineFrames(44100, 440, 0.5);
    CMp3StreamWriter writer(&m_encoder, m_home.Path(), 32, 0);
    writer.OpenTemporaryFile(m_prompts);
    writer.Write(samples.data(), samples.size() * 2);
    writer.Close();
    const std::string bytes = test::ReadWholeFile(writer.TemporaryPath());
    const auto frames = test::Mp3Frames(bytes);
    // One second at 22.05 kHz, 576 samples a frame.
    ASSERT_GE(frames.size(), 38u);
    // MPEG-2 layer III, no CRC, 32 kbit/s, 22.05 kHz, private, joint stereo, copyright, original.
    for (const test::Mp3Frame& frame : frames)
        ASSERT_EQ(frame.header & 0xFFFFFDCF, 0xFFF3414Cu) << "frame at " << frame.offset;
}

TEST_F(LameEncodingTest, AnOutputRateOfTheWrongMpegVersionIsRefused)
{
    EXPECT_THAT([&] { CMp3StreamWriter writer(&m_encoder, m_home.Path(), 128, 22050); },
        testing::ThrowsMessage<std::runtime_error>(testing::StrEq("ERRORR in beInitStream.")));
}

} // namespace
} // namespace linlangok
