#include "core/playback/AudioPlayer.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace linlangok {
namespace {

constexpr size_t kBufferFrames = 441;

// Counts the stretcher's restarts, so that a test knows when a change has been put into effect.
class CCountingStretcher final : public IAudioStretcher {
public:
    explicit CCountingStretcher(std::atomic<int>& restarts)
        : m_restarts(restarts)
    {
    }
    void Restart(double pitchScale, double timeRatio) override
    {
        m_stretcher.Restart(pitchScale, timeRatio);
        ++m_restarts;
    }
    size_t StartPad() const override { return m_stretcher.StartPad(); }
    size_t StartDelay() const override { return m_stretcher.StartDelay(); }
    size_t FramesRequired() const override { return m_stretcher.FramesRequired(); }
    void Process(const float* samples, size_t frames, bool final) override
    {
        m_stretcher.Process(samples, frames, final);
    }
    size_t Available() const override { return m_stretcher.Available(); }
    size_t Retrieve(float* samples, size_t frames) override { return m_stretcher.Retrieve(samples, frames); }

private:
    CRubberBandStretcher m_stretcher {2};
    std::atomic<int>& m_restarts;
};

// Opens every path as these frames, with a header that claims 2 s.
AudioFileOpener MemoryOpener(const std::vector<std::int16_t>& samples, bool failAtEnd = false)
{
    return [samples, failAtEnd](const std::filesystem::path&) {
        return std::make_unique<test::CMemoryDecoder>(samples, 2000, failAtEnd);
    };
}

class AudioPlayerTest : public ::testing::Test {
protected:
    AudioPlayerTest()
    {
        auto pacer = std::make_unique<CManualPacer>();
        m_clock = pacer.get();
        m_output = CreateWavFileAudioOutput(m_outputPath, kBufferFrames, std::move(pacer));
    }

    AudioFileOpener CountingOpener()
    {
        return [this](const std::filesystem::path& path) {
            return std::make_unique<test::CCountingDecoder>(CSndFileDecoder::Open(path), m_decoded);
        };
    }

    // Lets `frames` frames of virtual time pass, a little at a time, each step only once the
    // decoder is far enough ahead that the callback finds its frames ready.
    void Play(std::uint64_t frames)
    {
        const std::uint64_t end = m_clock->Released() + frames;
        while (m_clock->Released() < end) {
            const std::uint64_t step = std::min<std::uint64_t>(end - m_clock->Released(), 8820);
            while (m_decoded < m_clock->Released() + step + 4096)
                std::this_thread::yield();
            Advance(step);
        }
    }

    // Songs from MemoryOpener end before their header says: the length shows when the decode
    // thread has reached the end, and the whole song waits in the ring.
    static void WaitUntilDecoded(const CAudioPlayer& player)
    {
        while (player.LengthSeconds() == 2)
            std::this_thread::yield();
    }

    // Lets `frames` frames pass, one 441-frame buffer at a time, and returns the position (ms)
    // after each buffer.
    std::vector<std::int64_t> PlayBuffers(const CAudioPlayer& player, std::uint64_t frames)
    {
        std::vector<std::int64_t> positions;
        for (std::uint64_t played = 0; played < frames; played += kBufferFrames) {
            Advance(kBufferFrames);
            positions.push_back(player.PositionMilliseconds());
        }
        return positions;
    }

    // Lets `frames` frames of virtual time pass at once.
    void Advance(std::uint64_t frames)
    {
        m_clock->Release(frames);
        m_clock->WaitUntilIdle();
    }

    test::DecodedAudio FinishOutput()
    {
        m_output.reset();
        return test::ReadAudioFile(m_outputPath);
    }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_outputPath = m_folder.Path() / "out.wav";
    test::CScriptedUserPrompts m_prompts;
    std::atomic<std::uint64_t> m_decoded {0};
    CManualPacer* m_clock = nullptr;
    std::unique_ptr<IAudioOutput> m_output;
};

TEST_F(AudioPlayerTest, WavFilePlaysSampleForSampleWithPositionAndLength)
{
    // 3 s: twice the decode ring, so the decode thread has to keep up.
    const auto input = test::ChirpFrames(132300, 200, 4000, 0.8);
    const auto path = m_folder.Path() / "歌曲.wav";
    test::WriteWavFile(path, input);
    {
        CAudioPlayer player(*m_output, m_prompts, CountingOpener(), CRubberBandStretcher::Create);
        ASSERT_TRUE(player.OpenAndPlay(path.u16string()));
        EXPECT_TRUE(player.IsOpen());
        EXPECT_EQ(player.EndMilliseconds(), 3000);
        EXPECT_EQ(player.LengthSeconds(), 3);

        Play(66150);
        EXPECT_EQ(player.PositionMilliseconds(), 1500);
        EXPECT_DOUBLE_EQ(player.PositionSeconds(), 1.5);
        Play(70119);
        EXPECT_DOUBLE_EQ(player.PositionSeconds(), 3.0); // at the end it stays there
        EXPECT_EQ(player.LengthSeconds(), 3);
        player.Stop();
        EXPECT_EQ(player.PositionSeconds(), 0.0);
        EXPECT_EQ(player.LengthSeconds(), 0);
    }
    const auto output = FinishOutput();
    ASSERT_EQ(output.samples.size(), 136269u * 2);
    EXPECT_EQ(std::vector<std::int16_t>(output.samples.begin(), output.samples.begin() + 264600), input);
    EXPECT_TRUE(
        std::all_of(output.samples.begin() + 264600, output.samples.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(AudioPlayerTest, Mp3FilePlaysAsItDecodes)
{
    const auto path = m_folder.Path() / "song.mp3";
    test::WriteMp3File(path, test::ChirpFrames(57330, 300, 3000, 0.5)); // 1.3 s
    const auto decoded = test::ReadAudioFile(path);
    {
        CAudioPlayer player(*m_output, m_prompts, CountingOpener(), CRubberBandStretcher::Create);
        ASSERT_TRUE(player.OpenAndPlay(path.u16string()));
        EXPECT_EQ(player.LengthSeconds(), 1);
        Play(66150);
        EXPECT_NEAR(player.PositionSeconds(), static_cast<double>(decoded.samples.size() / 2) / 44100, 0.001);
    }

    const auto output = FinishOutput();
    ASSERT_GE(output.samples.size(), decoded.samples.size());
    EXPECT_EQ(std::vector<std::int16_t>(
                  output.samples.begin(), output.samples.begin() + static_cast<long>(decoded.samples.size())),
        decoded.samples);
    EXPECT_GT(*std::max_element(output.samples.begin(), output.samples.end()), 10000);
}

TEST_F(AudioPlayerTest, UnreadableFileIsReportedAndThePlayerStaysUsable)
{
    const auto bad = m_folder.WriteFile("bad.mp3", std::string(5000, '\x55'));
    CAudioPlayer player(*m_output, m_prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create);
    EXPECT_FALSE(player.IsOpen()); // nothing open
    player.Stop();
    player.Stop();
    EXPECT_FALSE(player.OpenAndPlay(bad.u16string()));
    EXPECT_FALSE(player.OpenAndPlay((m_folder.Path() / "missing.wav").u16string()));
    ASSERT_EQ(m_prompts.m_messages.size(), 2u);
    EXPECT_EQ(m_prompts.m_messages[0].text, u"播放文件时出错!");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::Ok);
    EXPECT_EQ(player.LengthSeconds(), 0);
    EXPECT_EQ(player.PositionSeconds(), 0.0);

    const auto good = m_folder.Path() / "good.wav";
    test::WriteWavFile(good, test::SineFrames(4410, 1000, 0.5));
    EXPECT_TRUE(player.OpenAndPlay(good.u16string()));
    Advance(8820);
    EXPECT_DOUBLE_EQ(player.PositionSeconds(), 0.1);
    EXPECT_EQ(m_prompts.m_messages.size(), 2u);
}

TEST_F(AudioPlayerTest, FileThatEndsEarlyEndsWhereItsAudioEnds)
{
    for (bool fail : {false, true}) {
        CAudioPlayer player(*m_output, m_prompts, MemoryOpener(std::vector<std::int16_t>(88200, 8192), fail),
            CRubberBandStretcher::Create);
        ASSERT_TRUE(player.OpenAndPlay(u"short.wav"));
        EXPECT_EQ(player.LengthSeconds(), 1); // known as soon as the decoder stops
        Advance(30000);
        EXPECT_NEAR(player.PositionSeconds(), 30000.0 / 44100, 0.001);
        Advance(20000);
        EXPECT_DOUBLE_EQ(player.PositionSeconds(), 1.0);
        EXPECT_EQ(player.LengthSeconds(), 1);
    }
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(AudioPlayerTest, AFileWhoseHeaderGivesNoLengthPlaysToWhereItsAudioEnds)
{
    CAudioPlayer player(
        *m_output, m_prompts,
        [this](const std::filesystem::path&) {
            return std::make_unique<test::CCountingDecoder>(
                std::make_unique<test::CMemoryDecoder>(std::vector<std::int16_t>(441000, 8192), 0), m_decoded);
        },
        CRubberBandStretcher::Create);
    ASSERT_TRUE(player.OpenAndPlay(u"unknown.wav"));
    Play(88200);
    EXPECT_DOUBLE_EQ(player.PositionSeconds(), 2.0);
    EXPECT_LT(player.PositionMilliseconds(), player.EndMilliseconds()); // not at its end yet
    Play(220500);
    while (player.EndMilliseconds() != 5000) // known once the decoding has ended
        std::this_thread::yield();
    Play(4410);
    EXPECT_EQ(player.PositionMilliseconds(), 5000);
}

TEST_F(AudioPlayerTest, SecondFileReplacesTheFirst)
{
    const auto first = m_folder.Path() / "first.wav";
    const auto second = m_folder.Path() / "second.wav";
    test::WriteWavFile(first, std::vector<std::int16_t>(88200 * 2, 1000));
    test::WriteWavFile(second, std::vector<std::int16_t>(4410 * 2, -2000));
    {
        CAudioPlayer player(*m_output, m_prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create);
        ASSERT_TRUE(player.OpenAndPlay(first.u16string()));
        Advance(4410);
        ASSERT_TRUE(player.OpenAndPlay(second.u16string()));
        EXPECT_EQ(player.PositionSeconds(), 0.0);
        Advance(8820);
    }
    const auto output = FinishOutput();
    ASSERT_EQ(output.samples.size(), 13230u * 2);
    EXPECT_EQ(output.samples[4409 * 2], 1000);
    EXPECT_EQ(output.samples[4410 * 2], -2000);
    EXPECT_EQ(output.samples[8819 * 2 + 1], -2000);
    EXPECT_EQ(output.samples[8820 * 2], 0);
}

TEST_F(AudioPlayerTest, ThePositionIsTheSongMomentHeardAtAnyKeyAndTempo)
{
    // 0.4 s of silence, then a tone: the position where it is heard must be 400 ms, however long
    // the stretcher takes to let it through.
    std::vector<std::int16_t> song(17640 * 2, 0);
    const auto tone = test::SineFrames(26460, 440, 0.5);
    song.insert(song.end(), tone.begin(), tone.end());
    const StretchSettings rows[] = {{2, 100}, {-3, 100}, {0, 80}, {5, 125}};
    std::vector<std::vector<std::int64_t>> positions;
    {
        CAudioPlayer player(*m_output, m_prompts, MemoryOpener(song), CRubberBandStretcher::Create);
        for (const StretchSettings& row : rows) {
            player.SetPitch(row.semitones);
            player.SetTempoPercent(row.tempoPercent);
            ASSERT_TRUE(player.OpenAndPlay(u"song.wav"));
            WaitUntilDecoded(player);
            positions.push_back(PlayBuffers(player, 66150));
        }
    }
    const auto output = FinishOutput();
    for (size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE(row);
        const size_t start = row * positions[0].size() * kBufferFrames;
        size_t onset = start;
        while (std::abs(output.samples[onset * 2]) < 8192)
            ++onset;
        // The position after the buffer that holds the onset, less the rest of that buffer.
        const size_t buffer = (onset - start) / kBufferFrames;
        const double after = static_cast<double>((buffer + 1) * kBufferFrames - (onset - start));
        const double heard = positions[row][buffer] - after * 1000 / 44100 * rows[row].SongFramesPerFrame();
        EXPECT_NEAR(heard, 400.0, 3.0);
        EXPECT_EQ(positions[row].back(), 1000); // at the end, whatever the tempo
    }
}

TEST_F(AudioPlayerTest, AKeyChangeWhilePlayingIsHeardAfterTheMarginAndTheSongStaysInTime)
{
    const auto song = test::SineFrames(52920, 440, 0.5); // 1.2 s
    std::atomic<int> restarts {0};
    {
        CAudioPlayer player(*m_output, m_prompts, MemoryOpener(song),
            [&restarts](int) { return std::make_unique<CCountingStretcher>(restarts); });
        ASSERT_TRUE(player.OpenAndPlay(u"song.wav"));
        WaitUntilDecoded(player);
        PlayBuffers(player, 13230);
        player.SetPitch(2);
        while (restarts == 0)
            std::this_thread::yield();
        WaitUntilDecoded(player);
        EXPECT_EQ(PlayBuffers(player, 13230).back(), 600);
        EXPECT_EQ(PlayBuffers(player, 30870).back(), 1200);
    }
    const auto output = FinishOutput();
    // Up to the margin the song plays as it is; then at the new key, up to its end in time.
    const size_t change = 13230 + CAudioPlayer::kChangeMarginFrames;
    ASSERT_EQ(output.samples.size(), 57330u * 2);
    EXPECT_EQ(std::vector<std::int16_t>(output.samples.begin(), output.samples.begin() + change * 2),
        std::vector<std::int16_t>(song.begin(), song.begin() + change * 2));
    const double frequency = test::ToneFrequency(&output.samples[(change + 2205) * 2], 52920 - change - 4410, 2, 0);
    EXPECT_NEAR(test::Cents(frequency, 440 * std::exp2(2 / 12.0)), 0.0, 3.0);
    EXPECT_NE(output.samples[52919 * 2], 0);
    EXPECT_TRUE(
        std::all_of(output.samples.begin() + 52920 * 2, output.samples.end(), [](std::int16_t s) { return s == 0; }));
}

} // namespace
} // namespace linlangok
