#include "core/loudness/LoudnessLeveler.h"
#include "core/loudness/Loudness.h"
#include "core/loudness/TruePeakDetector.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace linlangok {
namespace {

// Two seconds of a sine in both channels, interleaved.
std::vector<float> Sine(double amplitude, double frequency, double phase)
{
    std::vector<float> samples(2 * 88200);
    for (size_t frame = 0; frame < samples.size() / 2; ++frame)
        samples[2 * frame] = samples[2 * frame + 1]
            = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * frame / 44100 + phase));
    return samples;
}

// The true peak by libebur128's own 4x interpolation, in dBTP.
double TruePeakDbtp(const std::vector<float>& samples)
{
    ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, samples.data(), samples.size() / 2);
    double left = 0.0;
    double right = 0.0;
    ebur128_true_peak(state, 0, &left);
    ebur128_true_peak(state, 1, &right);
    ebur128_destroy(&state);
    return 20 * std::log10(std::max(left, right));
}

TEST(LoudnessLeveler, ALoudSineStaysUnderTheCeilingAndAQuietOnePassesUnchanged)
{
    struct Row {
        const char* name;
        double amplitude;
        double frequency;
        double phase;
        double gainDb;
    };
    const Row rows[] = {
        {"quiet", 0.25, 440, 0, 0},
        {"quiet, raised", 0.25, 440, 0, 6},
        {"loud", 0.5, 440, 0, 12},
        // Samples at ±0.7 with true peaks at 0.99 between them.
        {"peaks between samples", 0.99, 11025, std::numbers::pi / 4, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<float> input = Sine(row.amplitude, row.frequency, row.phase);
        CLoudnessLeveler leveler;
        leveler.SetGain(row.gainDb);
        // In chunks as a file is read, without the leveler's lag.
        std::vector<float> output;
        for (size_t first = 0; first < input.size(); first += 2000) {
            std::vector<float> chunk(input.begin() + first, input.begin() + std::min(first + 2000, input.size()));
            const size_t written = leveler.ProcessInTime(chunk.data(), chunk.size() / 2);
            output.insert(output.end(), chunk.begin(), chunk.begin() + 2 * written);
        }
        std::vector<float> tail(2 * CLoudnessLeveler::kLatencyFrames);
        output.insert(output.end(), tail.begin(), tail.begin() + 2 * leveler.Drain(tail.data()));
        ASSERT_EQ(output.size(), input.size());
        const double gain = std::pow(10.0, row.gainDb / 20);
        if (row.amplitude * gain < 0.8) {
            for (size_t i = 0; i < output.size(); ++i)
                ASSERT_EQ(output[i], input[i] * static_cast<float>(gain)) << i;
        } else {
            EXPECT_LE(TruePeakDbtp(output), kLevelingCeilingDbtp);
            EXPECT_GT(TruePeakDbtp(output), kLevelingCeilingDbtp - 1.0);
        }
    }
}

// Blocks skipped as too quiet hold no peak over the limit, and the peaks after them are those of
// a detector that skipped nothing.
TEST(TruePeakDetector, SkippedQuietBlocksChangeNoPeakThatCounts)
{
    std::vector<float> input = Sine(0.95, 11025, std::numbers::pi / 4);
    for (size_t frame = 0; frame < input.size() / 2; ++frame)
        for (size_t channel = 0; channel < 2; ++channel)
            input[2 * frame + channel] *= (frame / 1000) % 3 == 0 ? 1.0f : 0.2f;
    constexpr float kLimit = 0.8f;
    constexpr size_t kBlock = CTruePeakDetector::kMaximumBlockFrames;
    CTruePeakDetector every, skipping;
    size_t skipped = 0;
    for (size_t first = 0; first + kBlock <= input.size() / 2; first += kBlock) {
        float all[kBlock], some[kBlock];
        every.Process(&input[2 * first], kBlock, all);
        if (skipping.SkipBelow(&input[2 * first], kBlock, kLimit)) {
            ++skipped;
            EXPECT_LE(*std::max_element(all, all + kBlock), kLimit) << first;
            continue;
        }
        skipping.Process(&input[2 * first], kBlock, some);
        for (size_t i = 0; i < kBlock; ++i)
            EXPECT_TRUE(some[i] == all[i] || (all[i] <= kLimit && some[i] <= kLimit)) << first + i;
    }
    EXPECT_GT(skipped, 100u);
}

} // namespace
} // namespace linlangok
