#include "core/playback/AudioSourceMixer.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/SndFileDecoder.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

// Adds a constant to every sample.
struct CConstantSource : IAudioSource {
    explicit CConstantSource(float value)
        : value(value)
    {
    }
    void MixInto(float* mix, size_t frames, const AudioBufferTiming&) noexcept override
    {
        for (size_t i = 0; i < frames * 2; ++i)
            mix[i] += value;
    }
    float value;
};

TEST(AudioSourceMixer, SumsSourcesClipsAndRejectsTooMany)
{
    CAudioSourceMixer mixer;
    CConstantSource a(0.25f), b(0.5f), loud(2.0f);
    mixer.AddSource(a);
    mixer.AddSource(b);
    mixer.AddSource(a); // already there: not mixed twice
    std::vector<float> mix(8, 99.0f);
    mixer.Render(mix.data(), 4, {});
    EXPECT_EQ(mix, std::vector<float>(8, 0.75f));

    mixer.AddSource(loud);
    mixer.Render(mix.data(), 4, {});
    EXPECT_EQ(mix, std::vector<float>(8, 1.0f));
    loud.value = -9.0f;
    mixer.Render(mix.data(), 4, {});
    EXPECT_EQ(mix, std::vector<float>(8, -1.0f));

    mixer.RemoveSource(loud);
    mixer.RemoveSource(a);
    mixer.Render(mix.data(), 4, {});
    EXPECT_EQ(mix, std::vector<float>(8, 0.5f));

    std::vector<CConstantSource> many(CAudioSourceMixer::kMaximumSources - 1, CConstantSource(0.0f));
    for (auto& source : many)
        mixer.AddSource(source);
    EXPECT_THROW(mixer.AddSource(a), std::runtime_error);
}

TEST(AudioSourceMixer, RemoveSourceWaitsForTheCallbackToLeave)
{
    struct CSlowSource : IAudioSource {
        void MixInto(float*, size_t, const AudioBufferTiming&) noexcept override
        {
            inside = true;
            std::this_thread::sleep_for(200us);
            calls.fetch_add(1);
            inside = false;
        }
        std::atomic<bool> inside {false};
        std::atomic<int> calls {0};
    } source;
    CAudioSourceMixer mixer;
    mixer.AddSource(source);
    std::atomic<bool> running {true};
    std::thread callback([&] {
        std::vector<float> mix(128);
        while (running)
            mixer.Render(mix.data(), 64, {});
    });
    for (int round = 0; round < 20; ++round) {
        while (source.calls == 0)
            std::this_thread::yield();
        mixer.RemoveSource(source);
        EXPECT_FALSE(source.inside);
        const int calls = source.calls;
        std::this_thread::sleep_for(1ms);
        EXPECT_EQ(source.calls, calls);
        source.calls = 0;
        mixer.AddSource(source);
    }
    running = false;
    callback.join();
}

TEST(ClockedAudioOutput, WavFileDevicesWriteBuffersOfTheirSizeInVirtualTimeSideBySide)
{
    test::CTemporaryFolder folder;
    const auto path = folder.Path() / "out.wav";
    auto pacer = std::make_unique<CManualPacer>();
    CManualPacer& clock = *pacer;
    auto otherPacer = std::make_unique<CManualPacer>();
    CManualPacer& otherClock = *otherPacer;
    test::CPositionSource source;
    CConstantSource quarter(0.25f);
    {
        auto output = CreateWavFileAudioOutput(path, 300, std::move(pacer));
        auto other = CreateWavFileAudioOutput(folder.Path() / "other.wav", 100, std::move(otherPacer));
        other->AddSource(quarter);
        otherClock.Release(500);
        EXPECT_EQ(output->Name(), "wav:" + path.string());
        output->AddSource(source);
        clock.Release(3000);
        clock.WaitUntilIdle();
        output->RemoveSource(source);
        clock.Release(600); // two more buffers, silent
        clock.WaitUntilIdle();
        otherClock.WaitUntilIdle();
    }
    EXPECT_EQ(test::ReadAudioFile(folder.Path() / "other.wav").samples, std::vector<std::int16_t>(500 * 2, 8192));
    ASSERT_EQ(source.buffers.size(), 10u);
    for (size_t i = 0; i < source.buffers.size(); ++i)
        EXPECT_EQ(source.buffers[i], std::make_pair(std::uint64_t {i * 300}, size_t {300}));

    const auto audio = test::ReadAudioFile(path);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    ASSERT_EQ(audio.samples.size(), 3600u * 2);
    for (size_t frame = 0; frame < 3000; ++frame) {
        ASSERT_EQ(audio.samples[frame * 2], test::CPositionSource::Value(frame)) << frame;
        ASSERT_EQ(audio.samples[frame * 2 + 1], -test::CPositionSource::Value(frame)) << frame;
    }
    for (size_t i = 3000 * 2; i < audio.samples.size(); ++i)
        ASSERT_EQ(audio.samples[i], 0);
}

TEST(ClockedAudioOutput, RealTimeDeviceNeverRunsAheadOfTheClock)
{
    test::CPositionSource source;
    const auto start = std::chrono::steady_clock::now();
    auto output = OpenAudioOutput("null", 256);
    EXPECT_EQ(output->Name(), "null");
    output->AddSource(source);
    for (;;) {
        std::this_thread::sleep_for(2ms);
        std::lock_guard lock(source.mutex);
        if (!source.buffers.empty() && source.buffers.back().first >= 4410)
            break;
    }
    output->RemoveSource(source);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::lock_guard lock(source.mutex);
    // Rendering runs one buffer ahead of the clock, never more.
    EXPECT_LE(static_cast<double>(source.buffers.back().first), elapsed * 44100 + 256);
}

TEST(AudioOutputDevices, SelectionNamesTheDeviceAndFallsBackToNull)
{
    test::CTemporaryFolder folder;
    EXPECT_EQ(OpenAudioOutput("wav:" + (folder.Path() / "a.wav").string())->Name(),
        "wav:" + (folder.Path() / "a.wav").string());
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "a.wav"));
    EXPECT_EQ(OpenAudioOutput("no such sound card")->Name(), "null");
    EXPECT_THROW(OpenAudioOutput("wav:" + (folder.Path() / "missing" / "a.wav").string()), std::runtime_error);
}

std::vector<float> DecodeAll(const std::filesystem::path& path)
{
    CSndFileDecoder decoder(path);
    std::vector<float> decoded;
    std::vector<float> chunk(1000 * 2);
    while (size_t frames = decoder.Read(chunk.data(), 1000))
        decoded.insert(decoded.end(), chunk.begin(), chunk.begin() + static_cast<long>(frames * 2));
    return decoded;
}

// Amplitude (full scale 1) of one channel's component at a whole frequency, over one second of
// 44.1 kHz frames from `first`.
double ToneAmplitude(const std::vector<float>& stereo, size_t first, int channel, double frequency)
{
    double re = 0.0;
    double im = 0.0;
    for (size_t frame = 0; frame < 44100; ++frame) {
        const double phase = 2 * M_PI * frequency * static_cast<double>(frame) / 44100;
        re += stereo[(first + frame) * 2 + static_cast<size_t>(channel)] * std::cos(phase);
        im += stereo[(first + frame) * 2 + static_cast<size_t>(channel)] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / 44100;
}

// A tone above the stream's range is filtered out, not folded back.
TEST(SndFileDecoder, ConvertsMonoAndOtherRatesToTheStreamFormat)
{
    test::CTemporaryFolder folder;
    const auto path = folder.Path() / "mono22k.wav";
    test::WriteWavFile(path, test::SineFrames(11025, 440, 0.5, 22050, 1), 22050, 1);
    EXPECT_EQ(CSndFileDecoder(path).LengthMilliseconds(), 500u);
    const std::vector<float> decoded = DecodeAll(path);
    ASSERT_NEAR(static_cast<double>(decoded.size() / 2), 22050, 2);
    std::vector<std::int16_t> samples(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(std::lrint(decoded[i] * 32768));
        if (i % 2 == 1) {
            ASSERT_EQ(decoded[i], decoded[i - 1]);
        }
    }
    EXPECT_EQ(test::PeakFrequency(samples.data(), samples.size() / 2, 2, 0, 44100, 400, 480), 440);
    // Converted values stay on the curve.
    for (size_t frame = 0; frame < 20000; frame += 97)
        ASSERT_NEAR(decoded[frame * 2], 0.5 * std::sin(2 * M_PI * 440 * static_cast<double>(frame) / 44100), 0.01);

    EXPECT_THROW(CSndFileDecoder(folder.WriteFile("text.wav", "no audio here")), std::runtime_error);
    EXPECT_THROW(CSndFileDecoder(folder.Path() / "missing.mp3"), std::runtime_error);

    // 1.2 s at 48 kHz: 23 kHz on the left (which 44.1 kHz cannot hold), 1 kHz on the right.
    std::vector<std::int16_t> input(57600 * 2);
    for (size_t frame = 0; frame < 57600; ++frame) {
        const double t = static_cast<double>(frame) / 48000;
        input[frame * 2] = static_cast<std::int16_t>(std::lrint(16384 * std::sin(2 * M_PI * 23000 * t)));
        input[frame * 2 + 1] = static_cast<std::int16_t>(std::lrint(16384 * std::sin(2 * M_PI * 1000 * t)));
    }
    test::WriteWavFile(folder.Path() / "48k.wav", input, 48000);
    const std::vector<float> filtered = DecodeAll(folder.Path() / "48k.wav");
    ASSERT_NEAR(static_cast<double>(filtered.size() / 2), 52920, 2);
    // The alias would fall at 44.1 − 23 = 21.1 kHz.
    EXPECT_LT(20 * std::log10(ToneAmplitude(filtered, 4410, 0, 21100) / 0.5), -60.0);
    EXPECT_NEAR(ToneAmplitude(filtered, 4410, 1, 1000), 0.5, 0.5 * 0.01);
}

} // namespace
} // namespace linlangok
