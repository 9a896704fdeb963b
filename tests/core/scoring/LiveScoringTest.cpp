#include "core/scoring/LiveScoring.h"
#include "tests/core/recording/RecordingFakeWaveIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

// A tracker that reads the pitch off the samples: a hop of value v/128 is MIDI note v, 0 is unvoiced.
class CSampleValueTracker final : public IPitchTracker {
public:
    int SampleRate() const override { return 44100; }
    size_t HopFrames() const override { return 256; }
    void Push(const float* samples, size_t count, std::vector<PitchFrame>& frames) override
    {
        for (size_t index = 0; index < count; ++index, ++m_samples) {
            if ((m_samples + 1) % 256 == 0)
                frames.push_back({double(m_samples - 127) / 44100, samples[index] == 0 ? NAN : samples[index] * 128});
        }
    }

private:
    std::uint64_t m_samples = 0;
};

TEST(LiveScoring, PitchesLandAtTheSongTimeTheyWereSungForTheInputLatencyTakenOffEachDuetVoiceOnItsSide)
{
    test::CFakeWaveIn input;
    input.latency = 20ms;
    CLiveScoring live(input, [](int) { return std::make_unique<CSampleValueTracker>(); });
    const std::vector<MelodyNote> notes {{1.0, 1.5, 64}, {1.5, 2.0, 67}};
    const std::vector<MelodyNote> second {{1.0, 2.0, 60}};
    // The calibration found 130 ms more than the device's reported 20 ms.
    ASSERT_TRUE(live.Start(kWaveMapper,
        {{EMelodySource::Midi, notes, MelodyLines(notes)}, EDifficulty::Normal, 1.0, 0.130,
            ReferenceMelody {EMelodySource::UltraStar, second, MelodyLines(second)}}));
    // The song started at `start`; the singers sing each note exactly, the second on the right,
    // and are heard 150 ms later.
    const auto start = std::chrono::steady_clock::now();
    const auto sample = [](float pitch) { return std::int16_t(std::lround(pitch / 128 * 32768)); };
    for (int block = 0; block < 250; ++block) {
        const double sung = block * 0.01;
        const float pitch = sung >= 1.0 && sung < 1.5 ? 64 : sung >= 1.5 && sung < 2.0 ? 67 : 0;
        input.Capture(
            441, sample(pitch), sample(pitch == 0 ? 0 : 60), start + std::chrono::microseconds(10000 * block + 150000));
        // Ten times faster than a device delivers, well within what the analysis keeps queued.
        std::this_thread::sleep_for(1ms);
    }
    // The listener hears song time 2.2 s at start + 2.2 s.
    ScoringView view;
    for (int wait = 0; wait < 2000 && (view.trace.empty() || view.trace.back().seconds < 2.0); ++wait) {
        std::this_thread::sleep_for(1ms);
        live.Update(2.2, start + 2200ms);
        view = live.ViewAt(2.2);
    }
    ASSERT_FALSE(view.trace.empty());
    EXPECT_EQ(view.notes.size(), 2u) << "the notes that sound within the lane";
    const auto inNotes = [](const TracePoint& point) { return point.seconds > 1.22 && point.seconds < 1.98; };
    EXPECT_GE(std::count_if(view.trace.begin(), view.trace.end(), inNotes), 100);
    EXPECT_TRUE(std::all_of(
        view.trace.begin(), view.trace.end(), [&](const TracePoint& point) { return point.hit || !inNotes(point); }));
    ASSERT_TRUE(view.lastLine);
    EXPECT_EQ(view.lastLine->word, u"完美");
    EXPECT_TRUE(view.secondVoiceScore);
    const std::optional<SongScore> result = live.Stop();
    ASSERT_TRUE(result);
    EXPECT_GE(result->score, 97);
    ASSERT_TRUE(live.SecondVoiceResult());
    EXPECT_GE(live.SecondVoiceResult()->score, 97);
    EXPECT_FALSE(live.Stop()) << "nothing more after the first stop";
    EXPECT_EQ(live.DroppedSamples(), 0u);
}

TEST(LiveScoring, TheTraceIsDrawnInTheOctaveOfTheNoteNearest)
{
    const std::vector<MelodyNote> notes {{1.0, 1.5, 64}, {3.0, 3.5, 52}};
    EXPECT_EQ(FoldToMelody(notes, 1.2, 76.5f), 64.5f);
    EXPECT_EQ(FoldToMelody(notes, 2.9, 64.0f), 52.0f) << "nearer the second note";
    EXPECT_EQ(FoldToMelody(notes, 0.1, 40.0f), 64.0f);
    EXPECT_TRUE(std::isnan(FoldToMelody(notes, 1.2, NAN)));
}

} // namespace
} // namespace linlangok
