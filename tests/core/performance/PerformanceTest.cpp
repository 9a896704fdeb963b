// Recording over virtual devices in virtual time, through the real capture path, the wave-input
// buffers and the MP3 encoder: an accompaniment of clicks played through an output with a
// latency, a voice captured from a WAV file through an input with a latency of 120 ms.
#include "core/mixer/MemoryMixer.h"
#include "core/performance/LatencyCalibration.h"
#include "core/performance/PerformanceTimeline.h"
#include "core/performance/RecordingController.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kFirstOnset = 13230; // 300 ms
constexpr std::uint64_t kOnsetSpacing = 22050; // 500 ms
constexpr std::uint64_t kBurstFrames = 441;
constexpr std::uint64_t kOutputLatencyFrames = 1323; // 30 ms
constexpr size_t kSteps = 300; // 10 ms each

constexpr double kMusicHz = 1000;
constexpr double kVoiceHz = 2500;

// A burst of 10 ms at frame `onset`, and silence elsewhere.
float Burst(std::uint64_t frame, std::uint64_t onset, double frequency)
{
    if (frame < onset || frame >= onset + kBurstFrames)
        return 0;
    return 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * frequency * (frame - onset) / 44100));
}

// The accompaniment: a burst every half second, on every channel.
struct COnsetSource : IAudioSource {
    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override
    {
        for (size_t i = 0; i < frames; ++i) {
            const std::uint64_t frame = timing.firstFrame + i;
            const std::uint64_t onset = frame < kFirstOnset
                ? kFirstOnset
                : kFirstOnset + (frame - kFirstOnset) / kOnsetSpacing * kOnsetSpacing;
            mix[i * 2] += Burst(frame, onset, kMusicHz);
            mix[i * 2 + 1] += Burst(frame, onset, kMusicHz);
        }
    }
};

// The onsets of the bursts in `samples` (interleaved stereo): each first frame above a quarter of
// full scale after 20 ms of less.
std::vector<std::int64_t> Onsets(const std::vector<std::int16_t>& samples)
{
    std::vector<std::int64_t> onsets;
    std::int64_t quietSince = 0;
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        if (std::abs(samples[frame * 2]) < 1000)
            continue;
        if (static_cast<std::int64_t>(frame) - quietSince > 882)
            onsets.push_back(static_cast<std::int64_t>(frame));
        quietSince = static_cast<std::int64_t>(frame);
    }
    return onsets;
}

// Pearson correlation of the left channels of `a` (from frame `shift`) and `b`, over `frames` frames.
double Correlation(
    const std::vector<std::int16_t>& a, size_t shift, const std::vector<std::int16_t>& b, size_t first, size_t frames)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t frame = first; frame < first + frames; ++frame) {
        const double x = a[(frame + shift) * 2];
        const double y = b[frame * 2];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb);
}

class PerformanceTest : public ::testing::Test {
protected:
    PerformanceTest()
    {
        // The singer claps on each burst as it is heard: the output latency after it is played.
        std::vector<std::int16_t> voice(44100 * 4 * 2);
        for (std::uint64_t onset = kFirstOnset; onset + kBurstFrames < 44100 * 3; onset += kOnsetSpacing) {
            const std::uint64_t heard = onset + kOutputLatencyFrames;
            for (std::uint64_t frame = heard; frame < heard + kBurstFrames; ++frame)
                voice[frame * 2] = voice[frame * 2 + 1]
                    = static_cast<std::int16_t>(std::lrint(32767 * Burst(frame, heard, kVoiceHz)));
        }
        test::WriteWavFile(m_voice, voice);
        m_mixers.AddMixer();
    }

    // Records three seconds while the output plays (the accompaniment, when `accompanied`); the
    // take, and what the controller reported.
    std::unique_ptr<CPerformanceTake> Record(bool accompanied)
    {
        const auto clock = std::make_shared<CVirtualClock>();
        auto pacer = std::make_unique<CManualPacer>(clock);
        CManualPacer& outputClock = *pacer;
        const auto output = CreateNullAudioOutput(256, std::move(pacer), kOutputLatencyFrames * 1000000us / 44100);
        COnsetSource accompaniment;
        if (accompanied)
            output->AddSource(accompaniment);
        const auto inputClock = std::make_shared<CManualPacer>(clock);
        CWaveInSystem waveIn({{"wav:voice", true, [&] { return CreateWavFileCapture(m_voice, inputClock, 120ms); }}});
        CInputDeviceList devices(waveIn, m_mixers);
        m_prompts.m_paths.push_back(m_folder.Path() / "voice.mp3");
        CRecordingController controller(
            devices, m_mixers, &m_encoder, m_folder.Path(), m_locks, m_prompts, m_output, output.get());
        controller.SelectDevice(u"wav:voice");
        controller.StartRecording();
        EXPECT_TRUE(controller.IsRecording()) << m_output.str();
        for (size_t step = 0; step < kSteps; ++step) {
            clock->Advance(10ms);
            outputClock.Release(441);
            outputClock.WaitUntilIdle();
            inputClock->Release(441);
            inputClock->WaitUntilIdle();
        }
        controller.StopRecording();
        output->RemoveSource(accompaniment);
        return controller.TakePerformance();
    }

    size_t TemporaryFiles() const
    {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
            count += entry.path().filename().string().starts_with(".$$performance");
        return count;
    }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_voice = m_folder.Path() / "clap.wav";
    CMemoryMixerSystem m_mixers;
    CLameMp3EncoderLibrary m_encoder;
    CFlockFileLocks m_locks;
    test::CScriptedUserPrompts m_prompts;
    std::ostringstream m_output;
};

TEST_F(PerformanceTest, VoiceLandsOnTheOnsetsItWasSungTo)
{
    // A calibration of other devices does not move this voice.
    ASSERT_TRUE(SaveLatencyCorrection(m_folder.Path(), {87, 87, "loopback:87", "loopback"}));
    auto take = Record(true);
    ASSERT_TRUE(take) << m_output.str();
    EXPECT_EQ(m_output.str(), "");
    EXPECT_NEAR(take->AlignmentMs(), 150.0, 0.01); // 30 ms out, 120 ms in
    EXPECT_NEAR(take->Length().count(), 3000, 150);

    // The voice alone, the accompaniment alone, and both in an MP3 of the same length.
    const auto voicePath = m_folder.Path() / "voice.wav";
    const auto musicPath = m_folder.Path() / "music.WAV";
    const auto mixPath = m_folder.Path() / "mix.mp3";
    take->Write(voicePath, 100, &m_encoder);
    take->Write(musicPath, 0, &m_encoder);
    take->Write(mixPath, 50, &m_encoder);
    const auto voiceSamples = test::ReadAudioFile(voicePath).samples;
    const auto musicSamples = test::ReadAudioFile(musicPath).samples;
    const auto voice = Onsets(voiceSamples);
    const auto music = Onsets(musicSamples);
    ASSERT_GE(music.size(), 5u);
    ASSERT_EQ(voice.size(), music.size());
    for (size_t i = 0; i < music.size(); ++i)
        EXPECT_NEAR(voice[i], music[i], 220) << "onset " << i; // 5 ms
    // Each balance's end holds one part alone.
    EXPECT_NEAR(test::PeakFrequency(&voiceSamples[voice[0] * 2], 400, 2, 0, 44100, 500, 4000), kVoiceHz, 60);
    EXPECT_NEAR(test::PeakFrequency(&musicSamples[music[0] * 2], 400, 2, 0, 44100, 500, 4000), kMusicHz, 60);
    const auto mixed = test::ReadAudioFile(mixPath);
    EXPECT_NEAR(static_cast<double>(mixed.samples.size() / 2), take->Length().count() * 44.1, 3 * 1152);

    EXPECT_EQ(TemporaryFiles(), 2u);
    take.reset();
    EXPECT_EQ(TemporaryFiles(), 0u);
}

TEST_F(PerformanceTest, AMixIsNeverLongerThanItsTake)
{
    // However far a voice is put, it stays touching its second of accompaniment.
    const std::string second(44100 * 4, '\x10');
    for (const std::int64_t offset : {-(std::int64_t {1} << 62), std::int64_t {1} << 62, std::int64_t {44100} * 3600}) {
        CPerformanceTake far(m_folder.WriteFile("music.tmp", second), m_folder.WriteFile("voice.tmp", second),
            m_folder.Path() / "audition.wav", offset, 0);
        EXPECT_EQ(far.Length(), 2000ms) << offset;
        far.Write(m_folder.Path() / "far.wav", 50, &m_encoder);
        EXPECT_EQ(test::ReadAudioFile(m_folder.Path() / "far.wav").samples.size(), 2u * 44100 * 2) << offset;
    }
}

TEST_F(PerformanceTest, FailedWriteRaisesAndKeepsTheOldFile)
{
    const auto take = Record(true);
    ASSERT_TRUE(take);
    const auto target = m_folder.Path() / "old.wav";
    std::ofstream(target) << "old";
    EXPECT_THROW(take->Write(m_folder.Path() / "missing" / "new.wav", 50, &m_encoder), std::runtime_error);
    EXPECT_THROW(take->Write(m_folder.Path() / "new.mp3", 50, nullptr), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "new.mp3"));
    // A part cut short under the take fails the write half-way.
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path())) {
        if (entry.path().filename().string().ends_with("-voice.tmp"))
            std::filesystem::resize_file(entry.path(), 4000);
    }
    EXPECT_THROW(take->Write(target, 50, &m_encoder), std::runtime_error);
    EXPECT_EQ(test::ReadWholeFile(target), "old");
}

TEST_F(PerformanceTest, RecordingIsSavedAsAnMp3ThatDecodesToTheSignal)
{
    const auto signal = test::ChirpFrames(44100 * 5, 150, 3000, 0.5);
    test::WriteWavFile(m_voice, signal);
    EXPECT_FALSE(Record(false)); // without accompaniment: no take
    EXPECT_EQ(m_output.str(), "");
    EXPECT_TRUE(m_prompts.m_messages.empty());
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));
    EXPECT_EQ(TemporaryFiles(), 0u);

    // No tag, no VBR header. Every frame: MPEG-1 layer III, no CRC, 128 kbit/s, 44.1 kHz, private,
    // joint stereo, copyright, original, no emphasis; and no bit reservoir, so no frame borrows from an
    // earlier one (main_data_begin, the first 9 bits after the header, is 0).
    const auto saved = m_folder.Path() / "voice.mp3";
    const std::string bytes = test::ReadWholeFile(saved);
    EXPECT_NE(bytes.compare(0, 3, "ID3"), 0);
    EXPECT_EQ(bytes.substr(0, 418).find("Xing"), std::string::npos);
    EXPECT_EQ(bytes.substr(0, 418).find("Info"), std::string::npos);
    const auto frames = test::Mp3Frames(bytes);
    ASSERT_GT(frames.size(), 110u);
    for (const test::Mp3Frame& frame : frames) {
        ASSERT_EQ(frame.header & 0xFFFFFDCF, 0xFFFB914Cu) << "frame at " << frame.offset;
        ASSERT_EQ(static_cast<std::uint8_t>(bytes[frame.offset + 4]) << 1
                | static_cast<std::uint8_t>(bytes[frame.offset + 5]) >> 7,
            0)
            << "main_data_begin at " << frame.offset;
    }

    // 3 s, plus the encoder's delay and the padding of its last frame; the signal is heard the
    // input's latency late.
    const auto decoded = test::ReadAudioFile(saved);
    const size_t decodedFrames = decoded.samples.size() / 2;
    EXPECT_EQ(decodedFrames, frames.size() * 1152);
    EXPECT_GE(decodedFrames, kSteps * 441);
    EXPECT_LE(decodedFrames, kSteps * 441 + 3 * 1152);
    size_t bestShift = 0;
    double best = -1;
    for (size_t shift = 0; shift < 8000; ++shift) {
        const double correlation = Correlation(decoded.samples, shift, signal, 4410, 4410);
        if (correlation > best) {
            best = correlation;
            bestShift = shift;
        }
    }
    EXPECT_GT(Correlation(decoded.samples, bestShift, signal, 2000, 120000), 0.98) << "shift " << bestShift;
    // At 1 s the rising chirp on the left is at 720 Hz, the falling one on the right at 2430 Hz.
    const std::int16_t* second = decoded.samples.data() + (44100 + bestShift) * 2;
    EXPECT_NEAR(test::PeakFrequency(second, 2048, 2, 0, 44100, 500, 3200), 720, 20);
    EXPECT_NEAR(test::PeakFrequency(second, 2048, 2, 1, 44100, 500, 3200), 2430, 20);
}

TEST(PerformanceTimeline, FitIgnoresJitterAndLateStragglers)
{
    // 512-frame buffers over 20 s whose moments stray by up to a buffer, and every 50th 40 ms late.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> jitter(-256.0 / 44100, 256.0 / 44100);
    std::vector<FrameStamp> stamps;
    for (int buffer = 0; buffer < 1722; ++buffer) {
        const double frame = buffer * 512.0;
        stamps.push_back({frame, 100 + frame / 44100 * 1.0001 + jitter(random) + (buffer % 50 == 7 ? 0.04 : 0)});
    }
    const auto clock = FitFrameClock(stamps, 44100);
    ASSERT_TRUE(clock);
    for (const double frame : {0.0, 441000.0, 881664.0})
        EXPECT_NEAR(clock->SecondsAt(frame), 100 + frame / 44100 * 1.0001, 0.0005) << frame;
    // One stamp, or stamps of one frame: the nominal rate through them.
    const auto single = FitFrameClock({{1000, 5.0}, {1000, 5.002}, {1000, 5.001}}, 44100);
    ASSERT_TRUE(single);
    EXPECT_DOUBLE_EQ(single->SecondsAt(1000), 5.001);
    EXPECT_DOUBLE_EQ(single->secondsPerFrame, 1.0 / 44100);
    EXPECT_FALSE(FitFrameClock({}, 44100));
}

} // namespace
} // namespace linlangok
