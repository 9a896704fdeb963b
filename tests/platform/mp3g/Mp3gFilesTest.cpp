#include "core/cdg/CdgPackets.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zip.h>

namespace linlangok {
namespace {

using test::CTemporaryFolder;
using testing::HasSubstr;

// Writes a zip archive of the members, deflated.
void WriteZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& members)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(archive);
    for (const auto& [name, bytes] : members) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

// The first 4096 frames.
std::vector<float> Head(IAudioFileDecoder& decoder)
{
    std::vector<float> samples(2 * 4096);
    samples.resize(2 * decoder.Read(samples.data(), 4096));
    return samples;
}

std::string OpenError(const std::filesystem::path& song, const Mp3gLimits& limits = {})
{
    try {
        OpenMp3gSong(song, limits);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "opened";
}

class Mp3gFilesTest : public testing::Test {
protected:
    Mp3gFilesTest()
    {
        test::WriteWavFile(m_folder.Path() / "tone.wav", test::SineFrames(22050, 440, 0.5));
        m_wav = test::ReadWholeFile(m_folder.Path() / "tone.wav");
    }

    CTemporaryFolder m_folder;
    std::string m_wav;
    // A second of green, then red.
    std::string m_graphics = CdgColourTable(false, {0x000, 0xF00, 0x0F0}) + CdgMemoryPreset(2)
        + std::string(298 * kCdgPacketBytes, '\0') + CdgMemoryPreset(1);
};

TEST_F(Mp3gFilesTest, SongsBesideTheirGraphicsAndInArchivesPlayTheSameSoundAndPictures)
{
    const auto beside = m_folder.WriteFile("Song.WAV", m_wav);
    m_folder.WriteFile("song.cdg", m_graphics);
    const auto zipped = m_folder.Path() / "zipped.zip";
    WriteZip(
        zipped, {{"folder/", ""}, {"folder/Song.cdg", m_graphics}, {"folder/song.wav", m_wav}, {"notes.txt", "x"}});
    const std::vector<float> sound = Head(*CSndFileDecoder::Open(m_folder.Path() / "tone.wav"));
    ASSERT_EQ(sound.size(), 2u * 4096);
    for (const auto& song : {beside, m_folder.Path() / "song.cdg", zipped}) {
        Mp3gSong opened = OpenMp3gSong(song);
        EXPECT_EQ(opened.audio->LengthMilliseconds(), 500u) << song;
        EXPECT_EQ(Head(*opened.audio), sound) << song;
        EXPECT_EQ(opened.picture->FrameAt(0.999)->pixels[0], 0xFF00FF00u) << song;
        EXPECT_EQ(opened.picture->FrameAt(1.0)->pixels[0], 0xFFFF0000u) << song;
        EXPECT_EQ(Head(*OpenSongAudio(song)), sound) << song;
    }
}

TEST_F(Mp3gFilesTest, BadSongsGetClearErrors)
{
    const auto lone = m_folder.WriteFile("lone.cdg", m_graphics);
    EXPECT_THAT(OpenError(lone), HasSubstr("找不到与“lone.cdg”同名的音频文件"));
    EXPECT_THAT(OpenError(m_folder.Path() / "tone.wav"), HasSubstr("同名的 CD+G 图形文件"));
    EXPECT_THAT(OpenError(m_folder.WriteFile("text.zip", "no archive")), HasSubstr("无法打开压缩包"));
    const auto archive = m_folder.Path() / "bad.zip";
    for (const auto& [members, error] :
        std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>> {
            {{{"song.cdg", m_graphics}, {"song.wav", m_wav}, {"../../.bashrc", "echo"}},
                "“../../.bashrc”指向压缩包以外的文件夹"},
            {{{"song.cdg", m_graphics}}, "没有与“song.cdg”同名的音频文件"},
            {{{"song.cdg", m_graphics}, {"song.mp3", "no sound"}}, "“song.mp3”: "}}) {
        WriteZip(archive, members);
        EXPECT_THAT(OpenError(archive), HasSubstr(error));
        EXPECT_THROW(OpenSongAudio(archive), std::runtime_error);
    }
}

TEST_F(Mp3gFilesTest, ZipBombsAreRefusedBeforeTheyFillMemory)
{
    const std::string zeros(8 << 20, '\0');
    const auto bomb = m_folder.Path() / "bomb.zip";
    WriteZip(bomb, {{"song.cdg", m_graphics}, {"song.wav", m_wav + zeros}});
    ASSERT_LT(std::filesystem::file_size(bomb), 100000u);
    Mp3gLimits limits;
    limits.audioBytes = 1 << 20;
    EXPECT_THAT(OpenError(bomb, limits), HasSubstr("“song.wav”解压后超过 1 MB"));

    // An archive that states a small size for a large member: what is read stops at the cap.
    std::string bytes = test::ReadWholeFile(bomb);
    for (const auto& [signature, offset] :
        {std::pair {std::string("PK\3\4"), 22}, std::pair {std::string("PK\1\2"), 24}})
        for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1))
            bytes.replace(at + static_cast<size_t>(offset), 4, std::string("\x10\0\0\0", 4));
    EXPECT_NE(OpenError(m_folder.WriteFile("liar.zip", bytes), limits), "opened");
    limits.audioBytes = 64;
    limits.graphicsBytes = 64;
    EXPECT_THAT(OpenError(m_folder.WriteFile("liar.zip", bytes), limits), HasSubstr("解压后超过"));
}

} // namespace
} // namespace linlangok
