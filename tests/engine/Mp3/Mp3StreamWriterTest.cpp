#include "engine/Mp3StreamWriter.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace linlangok {
namespace {

// Records what reaches the encoder; encodes each call as "E<frames>;" and the flush as "F;".
struct FakeEncoderLog {
    std::vector<Mp3EncoderSettings> settings;
    std::vector<std::vector<std::int16_t>> calls;
    bool refuse = false;
    bool failEncode = false;
};

class CFakeEncoder final : public IMp3Encoder {
public:
    explicit CFakeEncoder(FakeEncoderLog& log)
        : m_log(log)
    {
    }
    bool Encode(const std::int16_t* samples, std::size_t frames, std::vector<std::uint8_t>& output) override
    {
        m_log.calls.emplace_back(samples, samples + 2 * frames);
        return Emit("E" + std::to_string(frames) + ";", output) && !m_log.failEncode;
    }
    bool Flush(std::vector<std::uint8_t>& output) override { return Emit("F;", output); }

private:
    static bool Emit(const std::string& text, std::vector<std::uint8_t>& output)
    {
        output.assign(text.begin(), text.end());
        return true;
    }
    FakeEncoderLog& m_log;
};

class CFakeEncoderLibrary final : public IMp3EncoderLibrary {
public:
    explicit CFakeEncoderLibrary(FakeEncoderLog& log)
        : m_log(log)
    {
    }
    std::unique_ptr<IMp3Encoder> InitStream(const Mp3EncoderSettings& settings) override
    {
        m_log.settings.push_back(settings);
        return m_log.refuse ? nullptr : std::make_unique<CFakeEncoder>(m_log);
    }

private:
    FakeEncoderLog& m_log;
};

class Mp3StreamWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("LINLANGOK_HOME", m_home.Path().c_str(), 1);
        SetMp3EncoderLibrary(std::make_shared<CFakeEncoderLibrary>(m_log));
    }
    void TearDown() override
    {
        SetMp3EncoderLibrary(nullptr);
        ::unsetenv("LINLANGOK_HOME");
    }

    // A closed recording whose temporary file holds `content`.
    std::unique_ptr<CMp3StreamWriter> Recording(std::string_view content = "E1;F;")
    {
        auto writer = std::make_unique<CMp3StreamWriter>(128, 0);
        writer->OpenTemporaryFile(m_prompts);
        writer->Close();
        m_home.WriteFile(".$$a.tmp", content);
        return writer;
    }

    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
    FakeEncoderLog m_log;
};

TEST_F(Mp3StreamWriterTest, EncoderMissingOrRefusingIsReported)
{
    SetMp3EncoderLibrary(nullptr);
    try {
        CMp3StreamWriter writer(128, 0);
        FAIL() << "no encoder installed";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Error loading lame_enc.DLL");
    }
    SetMp3EncoderLibrary(std::make_shared<CFakeEncoderLibrary>(m_log));
    m_log.refuse = true;
    try {
        CMp3StreamWriter writer(128, 0);
        FAIL() << "settings refused";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "ERRORR in beInitStream.");
    }
}

TEST_F(Mp3StreamWriterTest, AskedSettingsFollowTheBitrate)
{
    CMp3StreamWriter standard(128, 0);
    CMp3StreamWriter low(32, 16000);
    ASSERT_EQ(m_log.settings.size(), 2u);
    const auto& first = m_log.settings[0];
    EXPECT_TRUE(first.mpeg1);
    EXPECT_EQ(first.bitrate, 128);
    EXPECT_EQ(first.inputSampleRate, 44100);
    EXPECT_EQ(first.inputChannels, 2);
    EXPECT_EQ(first.outputSampleRate, 0);
    EXPECT_EQ(first.mode, EMp3ChannelMode::JointStereo);
    EXPECT_TRUE(first.privateBit && first.copyright && first.original);
    EXPECT_FALSE(first.crc || first.vbrHeader || first.bitReservoir || first.strictIso);
    EXPECT_FALSE(m_log.settings[1].mpeg1);
    EXPECT_EQ(m_log.settings[1].outputSampleRate, 16000);
}

TEST_F(Mp3StreamWriterTest, FourSecondsReachTheEncoderAsTwoChunksAndTheFlushIsWritten)
{
    CMp3StreamWriter writer(128, 0);
    writer.OpenTemporaryFile(m_prompts);
    std::vector<std::uint8_t> block(352800);
    block[0] = 0x34; // first left sample 0x1234, first right sample -2
    block[1] = 0x12;
    block[2] = 0xFE;
    block[3] = 0xFF;
    writer.Write(block.data(), block.size());
    writer.Write(block.data(), block.size());
    writer.Close();
    ASSERT_EQ(m_log.calls.size(), 2u);
    EXPECT_EQ(m_log.calls[0].size(), 176400u);
    EXPECT_EQ(m_log.calls[1].size(), 176400u);
    EXPECT_EQ(m_log.calls[0][0], 0x1234);
    EXPECT_EQ(m_log.calls[0][1], -2);
    EXPECT_EQ(writer.TemporaryPath(), m_home.Path() / ".$$a.tmp");
    EXPECT_EQ(test::ReadWholeFile(writer.TemporaryPath()), "E88200;E88200;F;");
    writer.Write(block.data(), block.size()); // after Close: ignored
    EXPECT_EQ(m_log.calls.size(), 2u);
}

TEST_F(Mp3StreamWriterTest, AnIncompleteFrameWaitsForTheNextBlock)
{
    CMp3StreamWriter writer(128, 0);
    writer.OpenTemporaryFile(m_prompts);
    const std::uint8_t bytes[] = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
    writer.Write(bytes, 3);
    writer.Write(bytes + 3, 2);
    writer.Write(bytes + 5, 5);
    writer.Close();
    ASSERT_EQ(m_log.calls.size(), 2u);
    EXPECT_EQ(m_log.calls[0], (std::vector<std::int16_t> {1, 2}));
    EXPECT_EQ(m_log.calls[1], (std::vector<std::int16_t> {3, 4}));
    EXPECT_EQ(test::ReadWholeFile(writer.TemporaryPath()), "E1;E1;F;");
}

TEST_F(Mp3StreamWriterTest, OpeningReplacesAnOldRecording)
{
    m_home.WriteFile(".$$a.tmp", "an old recording that was never saved");
    CMp3StreamWriter writer(128, 0);
    writer.OpenTemporaryFile(m_prompts);
    writer.Close();
    EXPECT_EQ(test::ReadWholeFile(m_home.Path() / ".$$a.tmp"), "F;");
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(Mp3StreamWriterTest, AnUncreatableFileIsReportedTwice)
{
    const auto blocker = m_home.WriteFile("plain-file", "");
    ::setenv("LINLANGOK_HOME", (blocker / "inside").c_str(), 1);
    CMp3StreamWriter writer(128, 0);
    try {
        writer.OpenTemporaryFile(m_prompts);
        FAIL() << "the folder is a file";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Can't create MP3 file.");
    }
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"出错");
    EXPECT_EQ(m_prompts.m_messages[0].text, u"Can't create MP3 file");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::YesNo);
}

TEST_F(Mp3StreamWriterTest, AnEncoderFailureIsReportedAtCloseAndTheFileKept)
{
    CMp3StreamWriter writer(128, 0);
    writer.OpenTemporaryFile(m_prompts);
    m_log.failEncode = true;
    const std::uint8_t frame[4] = {};
    writer.Write(frame, sizeof frame);
    try {
        writer.Close();
        FAIL() << "the encoder failed";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Can't write MP3 file.");
    }
    EXPECT_EQ(test::ReadWholeFile(writer.TemporaryPath()), "F;");
    EXPECT_NO_THROW(writer.Close());
}

TEST_F(Mp3StreamWriterTest, SavingCopiesTheRecordingAndRemovesTheTemporaryFile)
{
    auto writer = Recording("mp3 frames");
    const auto target = m_home.Path() / "我的歌.mp3";
    m_prompts.m_paths.push_back(target);
    EXPECT_EQ(writer->SaveAs(m_prompts), target);
    EXPECT_EQ(test::ReadWholeFile(target), "mp3 frames");
    EXPECT_FALSE(std::filesystem::exists(writer->TemporaryPath()));
    ASSERT_EQ(m_prompts.m_fileDialogs.size(), 1u);
    const auto& dialog = m_prompts.m_fileDialogs[0];
    ASSERT_EQ(dialog.filters.size(), 1u);
    EXPECT_EQ(dialog.filters[0].description, u"Music Files (*.mp3)");
    EXPECT_EQ(dialog.filters[0].patterns, u"*.mp3");
    EXPECT_TRUE(m_prompts.m_messages.empty());
}

TEST_F(Mp3StreamWriterTest, CancellingKeepsTheTemporaryFile)
{
    auto writer = Recording("mp3 frames");
    EXPECT_EQ(writer->SaveAs(m_prompts), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(writer->TemporaryPath()), "mp3 frames");
}

TEST_F(Mp3StreamWriterTest, AnExistingTargetIsOverwrittenOnlyWhenTheUserAgrees)
{
    auto writer = Recording("new take");
    const auto existing = m_home.WriteFile("old.mp3", "old take");
    const auto other = m_home.Path() / "other.mp3";
    m_prompts.m_paths = {existing, other};
    m_prompts.m_answers = {EPromptAnswer::No};
    EXPECT_EQ(writer->SaveAs(m_prompts), other);
    EXPECT_EQ(test::ReadWholeFile(existing), "old take");
    EXPECT_EQ(test::ReadWholeFile(other), "new take");
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"琳朗卡拉OK 1.2");
    EXPECT_EQ(m_prompts.m_messages[0].text, u"该文件已经存在,您确定要覆盖它吗?");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::YesNo);

    auto second = Recording("third take");
    m_prompts.m_paths = {existing};
    m_prompts.m_answers = {EPromptAnswer::Yes};
    EXPECT_EQ(second->SaveAs(m_prompts), existing);
    EXPECT_EQ(test::ReadWholeFile(existing), "third take");
}

TEST_F(Mp3StreamWriterTest, DecliningTheOverwriteThenCancellingKeepsTheRecording)
{
    auto writer = Recording("only take");
    const auto existing = m_home.WriteFile("old.mp3", "old take");
    m_prompts.m_paths = {existing}; // then the dialog is cancelled
    m_prompts.m_answers = {EPromptAnswer::No};
    EXPECT_EQ(writer->SaveAs(m_prompts), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(writer->TemporaryPath()), "only take");
    EXPECT_EQ(m_prompts.m_fileDialogs.size(), 2u);
}

TEST_F(Mp3StreamWriterTest, AFailedCopyIsReportedAndTheDialogShownAgain)
{
    auto writer = Recording("take");
    const auto unreachable = m_home.Path() / "missing-folder" / "take.mp3";
    const auto reachable = m_home.Path() / "take.mp3";
    m_prompts.m_paths = {unreachable, reachable};
    EXPECT_EQ(writer->SaveAs(m_prompts), reachable);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"错误");
    EXPECT_EQ(test::ReadWholeFile(reachable), "take");
}

TEST_F(Mp3StreamWriterTest, SavingOntoTheTemporaryFileItselfKeepsIt)
{
    auto writer = Recording("take");
    m_prompts.m_paths = {writer->TemporaryPath()};
    m_prompts.m_answers = {EPromptAnswer::Yes};
    EXPECT_EQ(writer->SaveAs(m_prompts), writer->TemporaryPath());
    EXPECT_EQ(test::ReadWholeFile(writer->TemporaryPath()), "take");
}

} // namespace
} // namespace linlangok
