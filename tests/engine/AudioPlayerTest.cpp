#include "engine/AudioPlayer.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/SndFileDecoder.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace linlangok {
namespace {

constexpr size_t kBufferFrames = 441;

// Counts what the decode side has produced, so virtual time never outruns it.
struct CCountingDecoder : IAudioFileDecoder {
    CCountingDecoder(std::unique_ptr<IAudioFileDecoder> inner, std::atomic<uint64_t>& frames)
        : inner(std::move(inner))
        , frames(frames)
    {
    }
    uint64_t LengthMilliseconds() const override { return inner->LengthMilliseconds(); }
    size_t Read(float* samples, size_t count) override
    {
        const size_t read = inner->Read(samples, count);
        frames += read;
        if (read == 0)
            ended = true;
        return read;
    }
    std::unique_ptr<IAudioFileDecoder> inner;
    std::atomic<uint64_t>& frames;
    inline static std::atomic<bool> ended {false};
};

// Header says one length, the data holds `frames` frames of 0.25 and then fails or ends.
struct CShortDecoder : IAudioFileDecoder {
    uint64_t LengthMilliseconds() const override { return header; }
    size_t Read(float* samples, size_t count) override
    {
        if (left == 0 && fail)
            throw std::runtime_error("bad frame");
        count = std::min<size_t>(count, left);
        std::fill(samples, samples + count * 2, 0.25f);
        left -= count;
        return count;
    }
    uint64_t header = 2000;
    size_t left = 44100;
    bool fail = false;
};

class AudioPlayerTest : public ::testing::Test {
protected:
    AudioPlayerTest()
    {
        auto pacer = std::make_unique<CManualPacer>();
        m_clock = pacer.get();
        m_output = CreateWavFileAudioOutput(m_outputPath, kBufferFrames, std::move(pacer));
        CCountingDecoder::ended = false;
    }

    AudioFileOpener CountingOpener()
    {
        return [this](const std::filesystem::path& path) {
            return std::make_unique<CCountingDecoder>(CSndFileDecoder::Open(path), m_decoded);
        };
    }

    // Lets `frames` frames of virtual time pass, a little at a time, each step only once the
    // decoder is far enough ahead that the callback finds its frames ready.
    void Play(uint64_t frames)
    {
        const uint64_t end = m_clock->Released() + frames;
        while (m_clock->Released() < end) {
            const uint64_t step = std::min<uint64_t>(end - m_clock->Released(), 8820);
            while (!CCountingDecoder::ended && m_decoded < m_clock->Released() + step + 4096)
                std::this_thread::yield();
            m_clock->Release(step);
            m_clock->WaitUntilIdle();
        }
    }

    test::DecodedAudio FinishOutput()
    {
        m_output.reset();
        return test::ReadAudioFile(m_outputPath);
    }

    test::CTemporaryFolder m_folder;
    std::filesystem::path m_outputPath = m_folder.Path() / "out.wav";
    test::CScriptedUserPrompts m_prompts;
    std::atomic<uint64_t> m_decoded {0};
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
        CAudioPlayer player(*m_output, m_prompts, CountingOpener());
        ASSERT_TRUE(player.OpenAndPlay(path.u16string()));
        EXPECT_EQ(player.Speed(), 1000);
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
    EXPECT_EQ(std::vector<int16_t>(output.samples.begin(), output.samples.begin() + 264600), input);
    EXPECT_TRUE(std::all_of(output.samples.begin() + 264600, output.samples.end(), [](int16_t s) { return s == 0; }));
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(AudioPlayerTest, Mp3FilePlaysAsItDecodes)
{
    const auto path = m_folder.Path() / "song.mp3";
    test::WriteMp3File(path, test::ChirpFrames(57330, 300, 3000, 0.5)); // 1.3 s
    const auto decoded = test::ReadAudioFile(path);
    {
        CAudioPlayer player(*m_output, m_prompts, CountingOpener());
        ASSERT_TRUE(player.OpenAndPlay(path.u16string()));
        EXPECT_EQ(player.LengthSeconds(), 1);
        Play(66150);
        EXPECT_NEAR(player.PositionSeconds(), static_cast<double>(decoded.samples.size() / 2) / 44100, 0.001);
    }

    const auto output = FinishOutput();
    ASSERT_GE(output.samples.size(), decoded.samples.size());
    EXPECT_EQ(std::vector<int16_t>(
                  output.samples.begin(), output.samples.begin() + static_cast<long>(decoded.samples.size())),
        decoded.samples);
    EXPECT_GT(*std::max_element(output.samples.begin(), output.samples.end()), 10000);
}

TEST_F(AudioPlayerTest, UnreadableFileIsReportedAndThePlayerStaysUsable)
{
    const auto bad = m_folder.WriteFile("bad.mp3", std::string(5000, '\x55'));
    CAudioPlayer player(*m_output, m_prompts, CSndFileDecoder::Open);
    EXPECT_EQ(player.Speed(), 0); // nothing open
    player.Stop();
    player.Stop();
    EXPECT_FALSE(player.OpenAndPlay(bad.u16string()));
    EXPECT_FALSE(player.OpenAndPlay((m_folder.Path() / "missing.wav").u16string()));
    ASSERT_EQ(m_prompts.m_messages.size(), 2u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"错误");
    EXPECT_EQ(m_prompts.m_messages[0].text, u"播放文件时出错!");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::Ok);
    EXPECT_EQ(player.LengthSeconds(), 0);
    EXPECT_EQ(player.PositionSeconds(), 0.0);

    const auto good = m_folder.Path() / "good.wav";
    test::WriteWavFile(good, test::SineFrames(4410, 1000, 0.5));
    EXPECT_TRUE(player.OpenAndPlay(good.u16string()));
    m_clock->Release(8820);
    m_clock->WaitUntilIdle();
    EXPECT_DOUBLE_EQ(player.PositionSeconds(), 0.1);
    EXPECT_EQ(m_prompts.m_messages.size(), 2u);
}

TEST_F(AudioPlayerTest, FileThatEndsEarlyEndsWhereItsAudioEnds)
{
    for (bool fail : {false, true}) {
        CAudioPlayer player(*m_output, m_prompts, [fail](const std::filesystem::path&) {
            auto decoder = std::make_unique<CShortDecoder>();
            decoder->fail = fail;
            return decoder;
        });
        ASSERT_TRUE(player.OpenAndPlay(u"short.wav"));
        EXPECT_EQ(player.LengthSeconds(), 1); // known as soon as the decoder stops
        m_clock->Release(30000);
        m_clock->WaitUntilIdle();
        EXPECT_NEAR(player.PositionSeconds(), 30000.0 / 44100, 0.001);
        m_clock->Release(20000);
        m_clock->WaitUntilIdle();
        EXPECT_DOUBLE_EQ(player.PositionSeconds(), 1.0);
        EXPECT_EQ(player.LengthSeconds(), 1);
    }
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(AudioPlayerTest, SecondFileReplacesTheFirst)
{
    const auto first = m_folder.Path() / "first.wav";
    const auto second = m_folder.Path() / "second.wav";
    test::WriteWavFile(first, std::vector<int16_t>(88200 * 2, 1000));
    test::WriteWavFile(second, std::vector<int16_t>(4410 * 2, -2000));
    {
        CAudioPlayer player(*m_output, m_prompts, CSndFileDecoder::Open);
        ASSERT_TRUE(player.OpenAndPlay(first.u16string()));
        m_clock->Release(4410);
        m_clock->WaitUntilIdle();
        ASSERT_TRUE(player.OpenAndPlay(second.u16string()));
        EXPECT_EQ(player.PositionSeconds(), 0.0);
        m_clock->Release(8820);
        m_clock->WaitUntilIdle();
    }
    const auto output = FinishOutput();
    ASSERT_EQ(output.samples.size(), 13230u * 2);
    EXPECT_EQ(output.samples[4409 * 2], 1000);
    EXPECT_EQ(output.samples[4410 * 2], -2000);
    EXPECT_EQ(output.samples[8819 * 2 + 1], -2000);
    EXPECT_EQ(output.samples[8820 * 2], 0);
}

} // namespace
} // namespace linlangok
