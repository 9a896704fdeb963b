#include "platform/pitch/AubioPitchTracker.h"
#include "tests/support/TestSinger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace linlangok {
namespace {

// The share of the frames whose window lies inside one voiced stretch that are within 50 cents.
double ShareOnPitch(const SungVoice& voice, const std::vector<PitchFrame>& frames, int rate)
{
    size_t voiced = 0;
    size_t within = 0;
    const auto margin = static_cast<std::ptrdiff_t>(0.023 * rate);
    for (const PitchFrame& frame : frames) {
        const auto centre = static_cast<std::ptrdiff_t>(std::llround(frame.seconds * rate));
        if (centre < margin || centre + margin >= std::ptrdiff_t(voice.truePitch.size())
            || std::isnan(voice.truePitch[size_t(centre - margin)]) || std::isnan(voice.truePitch[size_t(centre)])
            || std::isnan(voice.truePitch[size_t(centre + margin)]))
            continue;
        ++voiced;
        within += std::abs(frame.pitch - voice.truePitch[size_t(centre)]) <= 0.5;
    }
    return voiced ? double(within) / double(voiced) : 0;
}

TEST(AubioPitchTracker, FollowsHighAndLowSingersAtEitherRateAndHearsNoPitchInNoise)
{
    const std::vector<MelodyNote> tune = TestTune(16);
    for (const int rate : {44100, 48000}) {
        for (const double semitones : {0.0, -12.0}) {
            SingerVoice voice;
            voice.sampleRate = rate;
            voice.semitones = semitones;
            const SungVoice sung = Sing(tune, voice, tune.back().end + 0.5);
            const std::vector<PitchFrame> frames = TrackPitch(MakeAubioPitchTracker, sung.samples, rate);
            EXPECT_LE(MakeAubioPitchTracker(rate)->HopFrames(), size_t(0.012 * rate));
            EXPECT_GE(ShareOnPitch(sung, frames, rate), 0.98) << rate << " Hz, " << semitones << " semitones";
        }
    }
    std::vector<float> noise(44100 * 3);
    std::mt19937 random(5);
    std::normal_distribution<float> gauss(0.0f, 0.1f);
    for (float& sample : noise)
        sample = gauss(random);
    size_t voiced = 0;
    const std::vector<PitchFrame> frames = TrackPitch(MakeAubioPitchTracker, noise, 44100);
    for (const PitchFrame& frame : frames)
        voiced += !std::isnan(frame.pitch);
    EXPECT_LT(double(voiced), 0.02 * double(frames.size()));
}

} // namespace
} // namespace linlangok
