#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sys/wait.h>

namespace linlangok {
namespace {

// Writes `frames` frames of a 440 Hz sine in every channel as 16-bit WAV.
void WriteSine(const std::filesystem::path& path, int rate, int channels, int frames)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<short>(
            10000 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i / channels) / rate));
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
}

class Mp3EncodeToolTest : public testing::Test {
protected:
    // Runs the tool in the temporary folder (also its program folder); returns the exit code.
    int Run(const std::string& arguments)
    {
        const std::string command = "cd '" + m_folder.Path().string()
            + "' && LINLANGOK_HOME=. '" LINLANGOK_TOOL "' encode " + arguments + " 2> errors.txt";
        const int status = std::system(command.c_str());
        m_errors = test::ReadWholeFile(m_folder.Path() / "errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::CTemporaryFolder m_folder;
    std::string m_errors;
};

TEST_F(Mp3EncodeToolTest, EncodesAWavIntoAnMp3OfTheSameLength)
{
    WriteSine(m_folder.Path() / "in.wav", 44100, 2, 44100 * 5 / 2);
    m_folder.WriteFile("out.mp3", "an older file");
    ASSERT_EQ(Run("in.wav out.mp3"), 0) << m_errors;
    EXPECT_EQ(m_errors, "");
    SF_INFO info {};
    SNDFILE* file = sf_open((m_folder.Path() / "out.mp3").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> decoded(2 * 44100 * 3);
    const auto frames = sf_readf_short(file, decoded.data(), 44100 * 3);
    sf_close(file);
    EXPECT_GE(frames, 44100 * 5 / 2);
    EXPECT_LE(frames, 44100 * 5 / 2 + 1105 + 2 * 1152);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));
}

TEST_F(Mp3EncodeToolTest, RefusesWhatItCannotEncode)
{
    WriteSine(m_folder.Path() / "mono.wav", 44100, 1, 100);
    EXPECT_EQ(Run("mono.wav out.mp3"), 1);
    EXPECT_EQ(m_errors, "mono.wav: not a 44.1 kHz stereo sound file\n");
    EXPECT_EQ(Run("missing.wav out.mp3"), 1);
    EXPECT_NE(m_errors.find("missing.wav: "), std::string::npos);
    WriteSine(m_folder.Path() / "in.wav", 44100, 2, 100);
    EXPECT_EQ(Run("in.wav no-such-folder/out.mp3"), 1);
    EXPECT_NE(m_errors.find("错误: 无法保存文件 no-such-folder/out.mp3"), std::string::npos) << m_errors;
    EXPECT_EQ(Run("in.wav"), 2);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "out.mp3"));
}

} // namespace
} // namespace linlangok
