#include "engine/Mp3StreamWriter.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace linlangok {
namespace {

constexpr int kRate = 44100;

// Interleaved stereo: a 440 Hz sine on the left, 1000 Hz on the right, at half scale.
std::vector<std::int16_t> TwoTones(std::size_t frames)
{
    std::vector<std::int16_t> samples(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        samples[2 * i] = static_cast<std::int16_t>(16384 * std::sin(2 * std::numbers::pi * 440 * t));
        samples[2 * i + 1] = static_cast<std::int16_t>(16384 * std::sin(2 * std::numbers::pi * 1000 * t));
    }
    return samples;
}

// Amplitude of one frequency in one channel over [first, first + count) frames (Goertzel).
double Amplitude(const std::vector<short>& samples, int channel, std::size_t first, std::size_t count, double hz)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / kRate);
    double previous = 0, beforePrevious = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double current = samples[2 * i + channel] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power
        = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2 * std::sqrt(power) / static_cast<double>(count);
}

struct FrameHeader {
    int version; // 3 MPEG-1, 2 MPEG-2
    int layer; // 1 layer III
    bool noCrc;
    int bitrateIndex;
    int rateIndex;
    bool padding;
    bool privateBit;
    int mode; // 1 joint stereo
    bool copyright;
    bool original;
    int emphasis;
    bool operator==(const FrameHeader&) const = default;
};

FrameHeader ParseHeader(const unsigned char* h)
{
    return {(h[1] >> 3) & 3, (h[1] >> 1) & 3, (h[1] & 1) != 0, h[2] >> 4, (h[2] >> 2) & 3, (h[2] & 2) != 0,
        (h[2] & 1) != 0, h[3] >> 6, (h[3] & 8) != 0, (h[3] & 4) != 0, h[3] & 3};
}

class LameEncodingTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("LINLANGOK_HOME", m_home.Path().c_str(), 1);
        SetMp3EncoderLibrary(std::make_shared<CLameMp3EncoderLibrary>());
    }
    void TearDown() override
    {
        SetMp3EncoderLibrary(nullptr);
        ::unsetenv("LINLANGOK_HOME");
    }

    // Encodes the samples in 2-second blocks, as the recorder hands them over; returns the file.
    std::filesystem::path Encode(const std::vector<std::int16_t>& samples, int bitrate)
    {
        CMp3StreamWriter writer(bitrate, 0);
        writer.OpenTemporaryFile(m_prompts);
        const std::size_t block = 2 * 2 * kRate;
        for (std::size_t first = 0; first < samples.size(); first += block)
            writer.Write(samples.data() + first, 2 * std::min(block, samples.size() - first));
        writer.Close();
        return writer.TemporaryPath();
    }

    // Walks the file frame by frame; every header must equal the expected one, padding aside.
    static std::size_t CheckFrames(const std::string& bytes, const FrameHeader& expected, int kbps, int rate)
    {
        const int perFrame = expected.version == 3 ? 144 : 72;
        std::size_t offset = 0;
        std::size_t frames = 0;
        while (offset + 4 <= bytes.size()) {
            const auto* h = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
            EXPECT_EQ(h[0], 0xFF) << "at " << offset;
            EXPECT_EQ(h[1] & 0xE0, 0xE0) << "at " << offset;
            auto header = ParseHeader(h);
            const std::size_t length = perFrame * kbps * 1000 / rate + (header.padding ? 1 : 0);
            header.padding = expected.padding;
            EXPECT_TRUE(header == expected) << "frame header at " << offset << ": " << std::hex << int(h[1]) << ' '
                                            << int(h[2]) << ' ' << int(h[3]);
            if (::testing::Test::HasFailure())
                return frames;
            if (frames == 0) {
                EXPECT_EQ(bytes.find("Xing", offset), std::string::npos);
                EXPECT_EQ(bytes.find("Info", offset), std::string::npos);
            }
            offset += length;
            ++frames;
        }
        EXPECT_EQ(offset, bytes.size()) << "the last frame is cut off or followed by a tag";
        return frames;
    }

    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
};

TEST_F(LameEncodingTest, ARecordingDecodesToItsInputToTheLastBlock)
{
    const std::size_t inputFrames = kRate * 7 / 2; // 3.5 s: one full block and a partial one
    const auto path = Encode(TwoTones(inputFrames), 128);

    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, kRate);
    ASSERT_EQ(info.channels, 2);
    // The header's frame count is an estimate from the file size; what decodes is the length.
    std::vector<short> decoded(2 * static_cast<std::size_t>(info.frames) + 2 * 4608);
    const auto frames = static_cast<std::size_t>(sf_readf_short(file, decoded.data(), info.frames + 4608));
    sf_close(file);

    // The encoder's delay (576 + 529 frames) comes first; its padding fills the last MP3 frame.
    const std::size_t delay = 1105;
    EXPECT_GE(frames, inputFrames + delay);
    EXPECT_LE(frames, inputFrames + delay + 2 * 1152);
    EXPECT_EQ(frames % 1152, 0u);

    // The tones are there in the middle and in the last tenth of a second of the input.
    for (const std::size_t first : {std::size_t(kRate), delay + inputFrames - kRate / 10}) {
        const std::size_t count = kRate / 20;
        EXPECT_NEAR(Amplitude(decoded, 0, first, count, 440), 16384, 1600) << "left at " << first;
        EXPECT_NEAR(Amplitude(decoded, 1, first, count, 1000), 16384, 1600) << "right at " << first;
        EXPECT_LT(Amplitude(decoded, 0, first, count, 1000), 300) << "left at " << first;
        EXPECT_LT(Amplitude(decoded, 1, first, count, 440), 300) << "right at " << first;
    }
}

TEST_F(LameEncodingTest, EveryFrameCarriesTheConfiguredHeaderBits)
{
    const auto bytes = test::ReadWholeFile(Encode(TwoTones(kRate * 3), 128));
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_NE(bytes.compare(0, 3, "ID3"), 0);
    // MPEG-1 layer III without CRC, 128 kbit/s, 44.1 kHz, private bit, joint stereo, copyright,
    // original, no emphasis.
    const FrameHeader expected {3, 1, true, 9, 0, false, true, 1, true, true, 0};
    const std::size_t frames = CheckFrames(bytes, expected, 128, kRate);
    EXPECT_GE(frames, std::size_t(kRate * 3 / 1152));
}

TEST_F(LameEncodingTest, ThirtyTwoKilobitsSelectMpeg2)
{
    const auto bytes = test::ReadWholeFile(Encode(TwoTones(kRate), 32));
    // MPEG-2 layer III at 32 kbit/s (index 4) and 22.05 kHz (index 0 of MPEG-2).
    const FrameHeader expected {2, 1, true, 4, 0, false, true, 1, true, true, 0};
    EXPECT_GT(CheckFrames(bytes, expected, 32, kRate / 2), 0u);
}

TEST_F(LameEncodingTest, AnOutputRateOfTheWrongMpegVersionIsRefused)
{
    try {
        CMp3StreamWriter writer(128, 22050);
        FAIL() << "22.05 kHz is not MPEG-1";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "ERRORR in beInitStream.");
    }
}

} // namespace
} // namespace linlangok
