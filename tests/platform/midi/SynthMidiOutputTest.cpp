#include "platform/midi/SynthMidiOutput.h"
#include "platform/midi/FluidSynth.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An output stream that the test clocks by hand.
class CHandClockedOutput final : public IAudioOutput {
public:
    explicit CHandClockedOutput(size_t bufferFrames)
        : m_bufferFrames(bufferFrames)
    {
    }
    std::string Name() const override { return "test"; }
    int SampleRate() const override { return 44100; }
    size_t BufferFrames() const override { return m_bufferFrames; }
    std::chrono::microseconds OutputLatency() const override { return {}; }
    void AddSource(IAudioSource& source) override { m_source = &source; }
    void RemoveSource(IAudioSource&) override { m_source = nullptr; }

    // Renders one buffer as if called back at callbackTime; appends the left channel.
    void Pull(Clock::time_point callbackTime, std::vector<float>& left)
    {
        std::vector<float> mix(2 * m_bufferFrames, 0.0f);
        if (m_source)
            m_source->MixInto(mix.data(), m_bufferFrames, {m_nextFrame, callbackTime, 44100});
        for (size_t i = 0; i < m_bufferFrames; ++i)
            left.push_back(mix[2 * i]);
        m_nextFrame += m_bufferFrames;
    }

    std::uint64_t NextFrame() const { return m_nextFrame; }

private:
    size_t m_bufferFrames;
    IAudioSource* m_source = nullptr;
    std::uint64_t m_nextFrame = 0;
};

std::optional<std::filesystem::path> TestSoundFont()
{
    return FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
}

#define REQUIRE_SOUNDFONT()                                                                                            \
    do {                                                                                                               \
        if (!TestSoundFont())                                                                                          \
            GTEST_SKIP() << "no SoundFont in /usr/share/sounds/sf2 and LINLANGOK_SOUNDFONT unset";                     \
    } while (false)

// Frame of the first sample louder than the threshold at or after `from`, or -1.
long FirstLoudFrame(const std::vector<float>& samples, size_t from, float threshold)
{
    for (size_t i = from; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold)
            return static_cast<long>(i);
    }
    return -1;
}

// Plays side-stick hits (sharp attacks) at uneven send times, with callbacks that come up to
// 1.5 ms late, and returns each onset minus (send time × rate + latency) in frames.
std::vector<long> OnsetErrors(size_t bufferFrames)
{
    CHandClockedOutput output(bufferFrames);
    const Clock::time_point start = Clock::time_point() + 1000s;
    Clock::time_point now = start;
    CSynthMidiOutput synth(CFluidSynth::Factory(*TestSoundFont()), output, [&now] { return now; });
    auto connection = synth.Open(nullptr);

    struct Send {
        Clock::duration at;
        std::uint32_t message;
    };
    std::vector<Send> sends;
    std::vector<Clock::duration> hits;
    for (int j = 0; j < 8; ++j) {
        const auto at = std::chrono::microseconds(200000 + 400000 * j + 12345 * j);
        hits.push_back(at);
        sends.push_back({at, 0x7F2599}); // channel 10, key 37, velocity 127
        sends.push_back({at + 50ms, 0x002589});
    }

    std::vector<float> left;
    size_t nextSend = 0;
    for (int k = 0; output.NextFrame() < 44100 * 4; ++k) {
        const auto ideal = start + std::chrono::nanoseconds(output.NextFrame() * 1000000000ull / 44100);
        const auto late = std::chrono::microseconds(k % 7 == 0 ? 0 : (k * 397) % 1500);
        while (nextSend < sends.size() && start + sends[nextSend].at <= ideal + late) {
            now = start + sends[nextSend].at;
            connection->SendShort(sends[nextSend++].message);
        }
        output.Pull(ideal + late, left);
    }

    std::vector<long> errors;
    for (const auto hit : hits) {
        const long expected
            = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(hit).count() * 44100 / 1000000000
                + static_cast<long>(synth.LatencyFrames()));
        const long onset = FirstLoudFrame(left, static_cast<size_t>(expected - 2000), 0.01f);
        if (onset < 0)
            ADD_FAILURE() << "no onset for the hit at frame " << expected;
        errors.push_back(onset - expected);
    }
    return errors;
}

TEST(SynthMidiOutput, MessagesSoundAtTheirSendTimePlusAConstantLatencyWhateverTheBuffer)
{
    REQUIRE_SOUNDFONT();
    const std::vector<long> reference = OnsetErrors(64);
    for (size_t bufferFrames : {64u, 256u, 441u, 512u}) {
        const std::vector<long> errors = bufferFrames == 64 ? reference : OnsetErrors(bufferFrames);
        const auto [lowest, highest] = std::minmax_element(errors.begin(), errors.end());
        // The synthesizer's 64-frame blocks are the only spread; the attack is the same for all.
        EXPECT_LE(*highest - *lowest, 64) << "buffer " << bufferFrames;
        EXPECT_GE(*lowest, -32) << "buffer " << bufferFrames;
        EXPECT_LE(*highest - *std::min_element(reference.begin(), reference.end()), 64) << "buffer " << bufferFrames;
    }
}

TEST(SynthMidiOutput, ClosingReleasesTheNotesAndAQuietClosedSynthAddsNothing)
{
    REQUIRE_SOUNDFONT();
    CHandClockedOutput output(512);
    Clock::time_point now = Clock::time_point() + 10s;
    CSynthMidiOutput synth(CFluidSynth::Factory(*TestSoundFont()), output, [&now] { return now; });
    auto connection = synth.Open(nullptr);
    EXPECT_THROW(synth.Open(nullptr), std::runtime_error);
    connection->SendShort(0x0013C0); // organ: holds as long as the key
    connection->SendShort(0x643C90);
    std::vector<float> left;
    auto render = [&](double seconds) {
        for (int i = 0; i < seconds * 44100 / 512; ++i) {
            now = Clock::time_point() + 10s + std::chrono::nanoseconds(output.NextFrame() * 1000000000ull / 44100);
            output.Pull(now, left);
        }
    };
    render(2);
    EXPECT_FALSE(synth.IsQuiet());
    EXPECT_GT(std::fabs(left.back()) + std::fabs(left[left.size() - 100]), 0.0f);
    connection.reset();
    render(3);
    EXPECT_TRUE(synth.IsQuiet());
    left.clear();
    render(0.1);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float sample) { return sample == 0.0f; }));

    // Reopened, it plays again.
    connection = synth.Open(nullptr);
    connection->SendShort(0x643C90);
    render(0.5);
    EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.01f);
}

// Records what reaches it: short messages as they are, a system exclusive message as its length
// with the top byte F0.
struct CRecordingSynthesizer final : ISynthesizer {
    explicit CRecordingSynthesizer(std::vector<std::uint32_t>& applied)
        : applied(applied)
    {
    }
    void ApplyShort(std::uint32_t packedMessage) noexcept override { applied.push_back(packedMessage); }
    void ApplySysEx(const std::uint8_t*, size_t length) noexcept override { applied.push_back(0xF0000000u | length); }
    void ReleaseAllNotes() noexcept override { }
    void Reset() noexcept override { }
    void Render(float* interleaved, size_t frames) noexcept override
    {
        std::fill(interleaved, interleaved + 2 * frames, 0.0f);
    }
    int ActiveVoiceCount() const noexcept override { return 0; }
    std::vector<std::uint32_t>& applied;
};

TEST(SynthMidiOutput, BurstOfAnySizeReachesTheSynthesizerInOrder)
{
    std::vector<std::uint32_t> applied;
    CHandClockedOutput output(512);
    Clock::time_point now = Clock::time_point() + 10s;
    CSynthMidiOutput synth(
        [&applied](int) { return std::make_unique<CRecordingSynthesizer>(applied); }, output, [&now] { return now; });
    auto connection = synth.Open(nullptr);
    // Nobody pulls audio while 10,000 notes and a system exclusive message go out at one time.
    std::vector<std::uint32_t> sent;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        sent.push_back(0x90 | i % 16 | (i / 16 % 128) << 8 | (i < 10000 ? 0x400000 : 0));
        connection->SendShort(sent.back());
        if (i == 10000) {
            const std::uint8_t reset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
            connection->SendLong(reset, sizeof reset);
            sent.push_back(0xF0000006);
        }
    }
    std::vector<float> left;
    while (output.NextFrame() < 44100)
        output.Pull(now + std::chrono::nanoseconds(output.NextFrame() * 1000000000ull / 44100), left);
    EXPECT_EQ(applied, sent);
    EXPECT_TRUE(synth.IsQuiet());
}

TEST(MidiOutputDeviceList, SoundFontIsFoundAndTheSynthesizerIsDeviceZero)
{
    test::CTemporaryFolder folder;
    EXPECT_FALSE(FindSoundFont(nullptr, folder.Path()));
    EXPECT_FALSE(FindSoundFont("", folder.Path() / "missing"));
    folder.WriteFile("b.sf2", "x");
    folder.WriteFile("a.sf2", "x");
    folder.WriteFile("0.txt", "x");
    EXPECT_EQ(FindSoundFont(nullptr, folder.Path()), folder.Path() / "a.sf2");
    EXPECT_EQ(FindSoundFont("/x/y.sf2", folder.Path()), std::filesystem::path("/x/y.sf2"));

    CHandClockedOutput output(512);
    CMidiOutputDeviceList none(std::nullopt, output, false);
    EXPECT_EQ(none.DeviceCount(), 0u);
    EXPECT_THROW(none.Open(0, nullptr), std::runtime_error);
    CMidiOutputDeviceList broken(folder.Path() / "a.sf2", output, false); // not a SoundFont
    EXPECT_EQ(broken.DeviceCount(), 1u);
    EXPECT_EQ(broken.DeviceName(0), "内置合成器 (FluidSynth)");
    EXPECT_THROW(broken.Open(0, nullptr), std::runtime_error);
}

TEST(MidiOutputDeviceList, SystemPortsAreListedWithoutPrintingAnything)
{
    CHandClockedOutput output(512);
    testing::internal::CaptureStderr();
    CMidiOutputDeviceList devices(std::nullopt, output, true);
    const std::uint32_t count = devices.DeviceCount();
    if (count == 0) {
        EXPECT_THROW(devices.Open(0, nullptr), std::runtime_error);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace linlangok
