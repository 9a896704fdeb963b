// 耳返 on virtual devices in virtual time: the output one 10 ms chunk ahead of the input, so the
// stream's own measure of the delay is known (10 ms), and the howl guard on made signals.
#include "core/performance/EarMonitor.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/fft/FftwRealFft.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace linlangok {
namespace {

constexpr size_t kChunk = 441;

// Swaps the channels, then fails after `workingBlocks` blocks.
class CFakeEffect final : public IVoiceEffect {
public:
    explicit CFakeEffect(int workingBlocks)
        : m_workingBlocks(workingBlocks)
    {
    }
    void Process(const float* in, int, size_t frames, float* out) override
    {
        m_failed = m_failed || m_workingBlocks-- == 0;
        for (size_t i = 0; i < frames; ++i) {
            out[i * 2] = m_failed ? in[i * 2] : in[i * 2 + 1];
            out[i * 2 + 1] = m_failed ? in[i * 2 + 1] : in[i * 2];
        }
    }
    size_t LatencyFrames() const override { return 0; }
    bool HasFailed() const override { return m_failed; }
    std::string FailureReason() const override { return m_failed ? "插件没有回应。" : ""; }

private:
    int m_workingBlocks;
    bool m_failed = false;
};

class EarMonitorTest : public testing::Test {
protected:
    // The microphone hears `input` (16-bit stereo) and, given a delay, the output that much later.
    void Open(std::vector<std::int16_t> input, std::optional<std::chrono::milliseconds> delay = {})
    {
        m_line->SetDelay(delay.value_or(std::chrono::milliseconds {}).count() * 441 / 10);
        m_loop = delay.has_value();
        m_input = std::move(input);
        m_monitor = std::make_unique<CEarMonitor>(
            EarMonitorDevices {
                [this] {
                    m_inputPacer = std::make_shared<CManualPacer>();
                    return std::make_unique<CClockedCapture>("test", m_inputPacer, [this] {
                        return [this, frame = size_t {0}](std::int16_t* samples, size_t frames) mutable {
                            std::fill_n(samples, frames * 2, std::int16_t {0});
                            if (m_loop)
                                m_line->Read(frame, samples, frames);
                            for (size_t i = 0; i < frames * 2 && frame * 2 + i < m_input.size(); ++i)
                                samples[i] = static_cast<std::int16_t>(samples[i] + m_input[frame * 2 + i]);
                            m_heardByMicrophone.insert(m_heardByMicrophone.end(), samples, samples + frames * 2);
                            frame += frames;
                        };
                    });
                },
                [this] {
                    auto pacer = std::make_unique<CManualPacer>();
                    m_outputPacer = pacer.get();
                    return std::make_unique<CClockedAudioOutput>("test", kChunk / 3, std::move(pacer),
                        [this, moment = std::uint64_t {0}](const float* samples, size_t frames) mutable {
                            m_line->Write(moment, samples, frames);
                            m_played.insert(m_played.end(), samples, samples + frames * 2);
                            moment += frames;
                        });
                }},
            &CFftwRealFft::Create);
    }
    void Run(double seconds)
    {
        for (int step = 0; step < seconds * 100; ++step) {
            m_outputPacer->Release(kChunk);
            m_outputPacer->WaitUntilIdle();
            m_inputPacer->Release(kChunk);
            m_inputPacer->WaitUntilIdle();
        }
    }
    // The highest sample of a channel over the last `seconds` played.
    float RecentPeak(int channel, double seconds) const
    {
        float peak = 0;
        for (size_t i = m_played.size() - size_t(seconds * 44100) * 2 + size_t(channel); i < m_played.size(); i += 2)
            peak = std::max(peak, std::abs(m_played[i]));
        return peak;
    }

    std::shared_ptr<CLoopbackLine> m_line = std::make_shared<CLoopbackLine>([] { return std::uint64_t {0}; });
    bool m_loop = false;
    std::vector<std::int16_t> m_input, m_heardByMicrophone;
    std::vector<float> m_played;
    std::shared_ptr<CManualPacer> m_inputPacer;
    CManualPacer* m_outputPacer = nullptr;
    std::unique_ptr<CEarMonitor> m_monitor;
    std::string m_failure;
};

TEST_F(EarMonitorTest, TheVoiceIsHeardAtTheVolumeThroughTheEffectAndDryOnceItFails)
{
    Open(test::SineFrames(44100, 441, 0.5)); // 441 Hz on the left, 882 Hz on the right, at half scale
    m_monitor->SetVolume(50);
    ASSERT_TRUE(m_monitor->Start(std::make_unique<CFakeEffect>(30), m_failure));
    Run(0.2);
    EXPECT_NEAR(RecentPeak(0, 0.1), 0.25, 0.005);
    EXPECT_EQ(m_monitor->TakeMessages(), std::vector<std::string> {});
    Run(0.2); // the effect failed after 30 blocks: the voice goes on dry, the message once
    EXPECT_EQ(m_monitor->TakeMessages(), std::vector<std::string> {"插件没有回应。"});
    m_monitor->SetVolume(0);
    Run(0.1);
    EXPECT_EQ(RecentPeak(0, 0.05), 0.0f);
    EXPECT_EQ(m_monitor->UnderrunCount(), 0u);
    m_monitor->Stop();
    EXPECT_FALSE(m_monitor->IsRunning());
    EXPECT_FALSE(m_monitor->LatencyMs());
    // The swapped channels were heard before the failure: the right channel's tone on the left.
    std::vector<std::int16_t> played(m_played.size());
    FloatsToInt16(m_played.data(), m_played.size(), played.data());
    EXPECT_EQ(test::PeakFrequency(played.data() + 4410 * 2, 4096, 2, 0, 44100, 300, 1000), 882);
    EXPECT_EQ(test::PeakFrequency(played.data() + 14000 * 2, 3000, 2, 0, 44100, 300, 1000), 441);
}

// A click fed back through a line of 87 ms returns at the line's delay plus the monitor's own,
// which the stream measured from the devices' moments.
TEST_F(EarMonitorTest, TheMeasuredLatencyIsTheDelayOfAClickGoingRound)
{
    std::vector<std::int16_t> click(4410 * 2 + 2, 0);
    click[4410 * 2] = click[4410 * 2 + 1] = 16000;
    Open(click, std::chrono::milliseconds(87));
    m_monitor->SetVolume(50);
    ASSERT_TRUE(m_monitor->Start(nullptr, m_failure));
    Run(0.4);
    ASSERT_TRUE(m_monitor->LatencyMs());
    EXPECT_NEAR(*m_monitor->LatencyMs(), 10.0, 0.05);
    std::vector<size_t> clicks;
    for (size_t frame = 0; frame < m_heardByMicrophone.size() / 2; ++frame) {
        if (m_heardByMicrophone[frame * 2] > 1000)
            clicks.push_back(frame);
    }
    ASSERT_EQ(clicks.size(), 4u); // the click, then at half its level each time round
    EXPECT_NEAR((clicks[1] - clicks[0]) / 44.1, 87.0 + *m_monitor->LatencyMs(), 0.05);
    EXPECT_EQ(clicks[3] - clicks[2], clicks[1] - clicks[0]);
}

// Feedback: a tone growing from `tone` by `dbPerSecond` from `onset` seconds on, in noise of RMS
// `noiseLevel`; without a tone, noise.
std::vector<std::int16_t> Feedback(
    double seconds, double tone = 0.01, double noiseLevel = 0.001, double dbPerSecond = 6, double onset = 0)
{
    std::vector<std::int16_t> samples(size_t(seconds * 44100) * 2);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, noiseLevel);
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const double time = double(frame) / 44100;
        const double sample = time < onset
            ? 0
            : tone * std::pow(10.0, dbPerSecond * (time - onset) / 20) * std::sin(2 * M_PI * 1234.5 * time);
        samples[frame * 2] = samples[frame * 2 + 1]
            = FloatToInt16(float(std::clamp(sample, -1.0, 1.0) + noise(random)));
    }
    return samples;
}

TEST_F(EarMonitorTest, AHowlMutesAndClosesTheMonitor)
{
    Open(Feedback(2));
    ASSERT_TRUE(m_monitor->Start(nullptr, m_failure));
    Run(1.5);
    EXPECT_FALSE(m_monitor->IsRunning());
    EXPECT_EQ(RecentPeak(0, 0.5), 0.0f);
    EXPECT_EQ(m_monitor->TakeMessages(), std::vector<std::string> {CEarMonitor::kHowlMessage});
}

bool Howls(const std::vector<std::int16_t>& samples)
{
    CHowlGuard guard(&CFftwRealFft::Create, 44100);
    std::vector<float> floats(samples.size());
    std::transform(samples.begin(), samples.end(), floats.begin(), Int16ToFloat);
    for (size_t frame = 0; frame + kChunk <= floats.size() / 2; frame += kChunk) {
        if (guard.Process(floats.data() + frame * 2, kChunk))
            return true;
    }
    return false;
}

TEST(HowlGuard, HearsFeedbackNotASungNoteNorNoise)
{
    EXPECT_TRUE(Howls(Feedback(1.5)));
    EXPECT_FALSE(Howls(test::VoiceFrames(3 * 44100, 330, 0.5, 0.5)));
    EXPECT_FALSE(Howls(test::SineFrames(3 * 44100, 1000, 0.5))); // a steady whistle does not rise
    EXPECT_FALSE(Howls(Feedback(3, 0, 0.2)));
}

// The monitor's fade-in and a note's onset are each one rise, then a held level: no howl.
TEST_F(EarMonitorTest, ToneHeldFromTheStartIsNoHowl)
{
    for (const double onset : {0.0, 0.3}) {
        Open(Feedback(2, 0.1, 0, 0, onset));
        ASSERT_TRUE(m_monitor->Start(nullptr, m_failure));
        Run(1.5);
        EXPECT_TRUE(m_monitor->IsRunning()) << onset;
        EXPECT_EQ(m_monitor->TakeMessages(), std::vector<std::string> {}) << onset;
    }
}

} // namespace
} // namespace linlangok
