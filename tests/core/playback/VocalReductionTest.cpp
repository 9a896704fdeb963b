#include "core/playback/VocalReduction.h"
#include "core/audio/SampleFormat.h"
#include "platform/fft/FftwRealFft.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr size_t kFrames = 3 * 44100 + 777;

// The four channels, read in two blocks split at an awkward frame.
std::vector<float> Reduce(const std::vector<std::int16_t>& song)
{
    CVocalReducedDecoder decoder(std::make_unique<test::CMemoryDecoder>(song, 3000), CFftwRealFft::Create);
    std::vector<float> output(4 * (kFrames + 1));
    const size_t frames = decoder.Read(output.data(), 999);
    output.resize(4 * (frames + decoder.Read(&output[4 * frames], kFrames + 1 - frames)));
    return output;
}

// A channel's level away from both ends of the song; silence as -60 dB.
double Level(const std::vector<float>& output, int channel, double hertz = 0)
{
    return std::max(test::Level(&output[4 * 22050], kFrames - 44100, 4, channel, hertz), -60.0);
}

TEST(VocalReducedDecoder, KeepsTheSongAndGivesBackWhatIsNotInTheCentre)
{
    const auto song = test::VoiceFrames(kFrames, 220, 0.25, 0);
    const auto output = Reduce(song);
    ASSERT_EQ(output.size(), 4 * kFrames);
    for (size_t sample = 0; sample < song.size(); ++sample) {
        const size_t original = sample / 2 * 4 + sample % 2;
        ASSERT_EQ(output[original], Int16ToFloat(song[sample])) << sample;
        ASSERT_NEAR(output[original + 2], Int16ToFloat(song[sample]), 1e-4) << sample;
    }
}

TEST(VocalReducedDecoder, TakesOutTheCentreVoiceAndKeepsTonesPannedAside)
{
    const auto voice = Reduce(test::VoiceFrames(kFrames, 220, 0.15, 0.15));
    for (int channel : {0, 1})
        EXPECT_LT(Level(voice, 2 + channel) - Level(voice, channel), -15);
    // Between the voice's harmonics: hard left, hard right, and 60 % either way (balance law).
    const std::vector<test::PannedTone> sides = {{330, 0.1, 0}, {770, 0, 0.1}, {1210, 0.1, 0.04}, {1650, 0.04, 0.1}};
    const auto output = Reduce(test::VoiceFrames(kFrames, 220, 0.15, 0.15, sides));
    for (const auto& side : sides) {
        for (int channel : {0, 1})
            EXPECT_NEAR(Level(output, 2 + channel, side.hertz), Level(output, channel, side.hertz), 1.5) << side.hertz;
    }
}

TEST(VocalReducedDecoder, SilencesAMonoSongButItsBass)
{
    const auto output
        = Reduce(test::VoiceFrames(kFrames, 220, 0, 0, {{60, 0.3, 0.3}, {1000, 0.3, 0.3}, {5000, 0.3, 0.3}}));
    for (int channel : {2, 3}) {
        EXPECT_NEAR(Level(output, channel, 60), 20 * std::log10(0.3), 0.5);
        EXPECT_LT(Level(output, channel, 1000), 20 * std::log10(0.3) - 15);
        EXPECT_LT(Level(output, channel, 5000), 20 * std::log10(0.3) - 15);
    }
}

} // namespace
} // namespace linlangok
