// PortAudio's real "default" device on a machine without a sound card: an ALSA configuration in a
// temporary HOME makes it the `file` plugin, which writes what is played to one raw file and
// captures from another (as fast as it is read, since its slave is the null device).
#include "platform/audio/PortAudioCapture.h"
#include "platform/audio/PortAudioLibrary.h"
#include "platform/audio/PortAudioOutput.h"
#include "platform/audio/WaveInSystem.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

class CAlsaFileEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_home = std::make_unique<test::CTemporaryFolder>();
        const auto signal = Signal();
        m_home->WriteFile("in.raw", std::string(reinterpret_cast<const char*>(signal.data()), signal.size() * 2));
        m_home->WriteFile(".asoundrc",
            "pcm.!default { type plug slave { pcm \"linlangok_file\" format S16_LE rate 44100 channels 2 } }\n"
            "pcm.linlangok_file { type file slave.pcm \"null\" file \""
                + OutputPath().string() + "\" infile \"" + (m_home->Path() / "in.raw").string()
                + "\" format \"raw\" }\n");
        setenv("HOME", m_home->Path().c_str(), 1);
    }
    void TearDown() override { m_home.reset(); }

    static std::vector<std::int16_t> Signal() { return test::ChirpFrames(44100, 200, 6000, 0.6); }
    static std::filesystem::path OutputPath() { return m_home->Path() / "out.raw"; }

private:
    inline static std::unique_ptr<test::CTemporaryFolder> m_home;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CAlsaFileEnvironment);

TEST(PortAudio, DefaultDeviceCapturesTheFileItReads)
{
    const auto devices = CaptureDevicesForSelection("default");
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].name, "default");
    EXPECT_TRUE(devices[0].capturesStreamFormat);

    const auto device = FindPortAudioDevice("default", true);
    ASSERT_TRUE(device);
    CPortAudioCapture capture(device->index, device->name);
    std::mutex mutex;
    std::vector<std::int16_t> captured;
    ASSERT_TRUE(capture.Start([&](const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point) {
        std::lock_guard lock(mutex);
        if (captured.size() < 22050 * 2)
            captured.insert(captured.end(), samples, samples + frames * 2);
    }));
    for (;;) {
        std::this_thread::sleep_for(1ms);
        std::lock_guard lock(mutex);
        if (captured.size() >= 22050 * 2)
            break;
    }
    EXPECT_GT(capture.Latency(), 0us); // PortAudio's figure for the running stream
    capture.Stop();
    const auto signal = CAlsaFileEnvironment::Signal();
    captured.resize(22050 * 2);
    EXPECT_EQ(captured, std::vector<std::int16_t>(signal.begin(), signal.begin() + 22050 * 2));
}

TEST(PortAudio, DefaultDeviceMixesSourcesIntoItsOutput)
{
    struct CSineSource : IAudioSource {
        void MixInto(float* mix, size_t frames, const AudioBufferTiming&) noexcept override
        {
            for (size_t i = 0; i < frames && rendered < signal.size() / 2; ++i, ++rendered) {
                mix[i * 2] += signal[rendered * 2] / 32768.0f;
                mix[i * 2 + 1] += signal[rendered * 2 + 1] / 32768.0f;
            }
            calls++;
        }
        std::vector<std::int16_t> signal = CAlsaFileEnvironment::Signal();
        std::atomic<size_t> rendered {0};
        std::atomic<int> calls {0};
    } source;
    {
        CPortAudioOutput output("default", 512);
        EXPECT_EQ(output.Name(), "default");
        EXPECT_GT(output.OutputLatency(), 0us);
        output.AddSource(source);
        while (source.rendered < source.signal.size() / 2)
            std::this_thread::sleep_for(1ms);
        // A few more buffers, so the last of the signal reaches the file.
        for (const int calls = source.calls; source.calls < calls + 8;)
            std::this_thread::sleep_for(1ms);
        output.RemoveSource(source);
    }
    std::ifstream file(CAlsaFileEnvironment::OutputPath(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> written(bytes.size() / 2);
    std::memcpy(written.data(), bytes.data(), written.size() * 2);
    // The signal starts where the source was first asked for sound, after the silence the stream
    // played before; ALSA's conversion may round differently by one.
    const size_t offset = (test::FirstSoundingFrame(written) - test::FirstSoundingFrame(source.signal)) * 2;
    ASSERT_GE(written.size(), offset + source.signal.size());
    for (size_t i = 0; i < source.signal.size(); ++i)
        ASSERT_NEAR(written[offset + i], source.signal[i], 1) << i;
}

} // namespace
} // namespace linlangok
