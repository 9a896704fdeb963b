#include "core/audio/SampleFormat.h"
#include "core/playback/AudioStretchStage.h"
#include "platform/audio/RubberBandStretcher.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace linlangok {
namespace {

constexpr size_t kTenSeconds = 441000;

// What the stage puts out from here to the song's end, as 16-bit frames.
std::vector<std::int16_t> ReadToEnd(CAudioStretchStage& stage)
{
    std::vector<float> chunk(4096 * 2);
    std::vector<std::int16_t> output;
    while (const size_t frames = stage.Read(chunk.data(), 4096)) {
        output.resize(output.size() + frames * 2);
        FloatsToInt16(chunk.data(), frames * 2, &output[output.size() - frames * 2]);
    }
    return output;
}

TEST(AudioStretchStage, KeyAndTempoGiveTheirPitchAndTheSongsLengthAtThatTempo)
{
    const auto song = test::SineFrames(kTenSeconds, 440, 0.5); // 440 Hz left, 880 Hz right
    struct Row {
        StretchSettings settings;
        size_t frames;
    };
    const Row rows[] = {{{2, 100}, kTenSeconds}, {{-3, 80}, 551250}, {{-12, 150}, 294000}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings.semitones);
        CAudioStretchStage stage(std::make_unique<test::CMemoryDecoder>(song, 10000), CRubberBandStretcher::Create);
        stage.Restart(0.0, row.settings);
        const auto output = ReadToEnd(stage);
        ASSERT_EQ(output.size() / 2, row.frames);
        // A steady stretch, away from both ends.
        const size_t from = row.frames / 10;
        const double scale = std::exp2(row.settings.semitones / 12.0);
        for (int channel : {0, 1}) {
            const double frequency = test::ToneFrequency(&output[from * 2], row.frames - 2 * from, 2, channel);
            EXPECT_NEAR(test::Cents(frequency, 440 * (channel + 1) * scale), 0.0, 3.0);
        }
        EXPECT_DOUBLE_EQ(stage.SongFrame(), static_cast<double>(kTenSeconds));
    }
}

TEST(AudioStretchStage, KeyZeroAtTempoHundredPassesTheFramesThroughAlsoAfterStretching)
{
    const auto song = test::ChirpFrames(kTenSeconds / 4, 200, 4000, 0.8);
    CAudioStretchStage stage(std::make_unique<test::CMemoryDecoder>(song, 2500), CRubberBandStretcher::Create);
    stage.Restart(0.0, {});
    std::vector<float> chunk(44100 * 2);
    ASSERT_EQ(stage.Read(chunk.data(), 44100), 44100u);
    stage.Restart(stage.SongFrame(), {4, 100});
    ASSERT_EQ(stage.Read(chunk.data(), 22050), 22050u);
    // Back at the frame a ring's worth behind, as the player goes on after a change.
    stage.Restart(stage.SongFrame() - 30000, {});
    EXPECT_EQ(stage.SongFrame(), 36150.0);
    const auto output = ReadToEnd(stage);
    EXPECT_EQ(output, std::vector<std::int16_t>(song.begin() + 36150 * 2, song.end()));
    EXPECT_FALSE(stage.SourceFailed());
}

} // namespace
} // namespace linlangok
