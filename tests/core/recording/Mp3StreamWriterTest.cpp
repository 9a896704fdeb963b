#include "core/recording/Mp3StreamWriter.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/core/recording/FakeMp3Encoder.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/FileAccess.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace linlangok {
namespace {

auto Raises(const char* message)
{
    return testing::ThrowsMessage<std::runtime_error>(testing::StrEq(message));
}

class Mp3StreamWriterTest : public testing::Test {
protected:
    // A closed recording whose temporary file holds `content`.
    std::unique_ptr<CMp3StreamWriter> Recording(std::string_view content)
    {
        auto writer = std::make_unique<CMp3StreamWriter>(&m_encoder, m_takes, 128, 0);
        writer->OpenTemporaryFile(m_prompts);
        writer->Close();
        m_home.WriteFile(".$$a.tmp", content);
        return writer;
    }

    test::CTemporaryFolder m_home;
    CFlockFileLocks m_locks;
    CTakeFolder m_takes {m_locks, m_home.Path()};
    test::CScriptedUserPrompts m_prompts;
    test::FakeMp3Log m_log;
    test::CFakeMp3EncoderLibrary m_encoder {m_log};
    CLameMp3EncoderLibrary m_lame;
};
// The real encoder; the 128 kbit/s frames of a recording are checked end to end in PerformanceTest.
using LameEncodingTest = Mp3StreamWriterTest;

// An encoder missing or refusing is raised; a temporary file that cannot be made is raised and shown.
TEST_F(Mp3StreamWriterTest, EncoderMissingOrRefusingAndAnUncreatableFileAreReported)
{
    EXPECT_THAT([&] { CMp3StreamWriter writer(nullptr, m_takes, 128, 0); }, Raises("Error loading lame_enc.DLL"));
    // The real encoder refuses an output rate of the wrong MPEG version.
    EXPECT_THAT([&] { CMp3StreamWriter writer(&m_lame, m_takes, 128, 22050); }, Raises("ERRORR in beInitStream."));

    const auto blocker = m_home.WriteFile("plain-file", "");
    CTakeFolder blocked(m_locks, blocker / "inside");
    CMp3StreamWriter writer(&m_encoder, blocked, 128, 0);
    EXPECT_THAT([&] { writer.OpenTemporaryFile(m_prompts); }, Raises("Can't create MP3 file."));
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].text, u"Can't create MP3 file");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::YesNo);
    m_log.refuse = true;
    EXPECT_THAT([&] { CMp3StreamWriter refused(&m_encoder, m_takes, 128, 0); }, Raises("ERRORR in beInitStream."));
}

TEST_F(Mp3StreamWriterTest, FourSecondsReachTheEncoderAsTwoChunksBesideAnOldRecording)
{
    const auto old = m_home.WriteFile(".$$a.tmp", "an old recording that was never saved");
    CMp3StreamWriter writer(&m_encoder, m_takes, 128, 0);
    writer.OpenTemporaryFile(m_prompts);
    std::vector<std::uint8_t> block(352800);
    const std::uint8_t first[] = {0x34, 0x12, 0xFE, 0xFF}; // left sample 0x1234, right sample -2
    std::copy(std::begin(first), std::end(first), block.begin());
    writer.Write(block.data(), block.size());
    writer.Write(block.data(), block.size());
    writer.Close();
    ASSERT_EQ(m_log.calls.size(), 2u);
    EXPECT_EQ(m_log.calls[0].size(), 176400u);
    EXPECT_EQ(m_log.calls[1].size(), 176400u);
    EXPECT_EQ(m_log.calls[0][0], 0x1234);
    EXPECT_EQ(m_log.calls[0][1], -2);
    EXPECT_EQ(writer.TemporaryPath(), m_home.Path() / ".$$a2.tmp");
    EXPECT_EQ(test::ReadWholeFile(writer.TemporaryPath()), "E88200;E88200;F;");
    EXPECT_EQ(test::ReadWholeFile(old), "an old recording that was never saved");
    EXPECT_TRUE(m_prompts.m_messages.empty());
    writer.Write(block.data(), block.size()); // after Close: ignored
    EXPECT_EQ(m_log.calls.size(), 2u);
}

TEST_F(Mp3StreamWriterTest, AnIncompleteFrameWaitsForTheNextBlock)
{
    CMp3StreamWriter writer(&m_encoder, m_takes, 128, 0);
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

TEST_F(Mp3StreamWriterTest, AFailingEncoderOrDiskKeepsTheWholeBlocksBeforeAndReportsAtClose)
{
    for (const bool diskFills : {false, true}) {
        SCOPED_TRACE(diskFills ? "disk fills" : "encoder fails");
        m_log.calls.clear();
        m_log.failEncode = false;
        CMp3StreamWriter writer(&m_encoder, m_takes, 128, 0);
        writer.OpenTemporaryFile(m_prompts);
        const std::uint8_t frames[12] = {};
        writer.Write(frames, sizeof frames); // "E3;"
        {
            // Room for part of the second block only.
            std::optional<test::CFileSizeLimit> limit;
            if (diskFills)
                limit.emplace(5);
            m_log.failEncode = !diskFills;
            writer.Write(frames, sizeof frames);
            writer.Write(frames, sizeof frames); // the recording has stopped: not encoded
        }
        EXPECT_EQ(m_log.calls.size(), 2u);
        EXPECT_THAT([&] { writer.Close(); }, Raises("Can't write MP3 file."));
        EXPECT_EQ(test::ReadWholeFile(writer.TemporaryPath()), "E3;");
        EXPECT_NO_THROW(writer.Close());
    }
}

TEST_F(Mp3StreamWriterTest, SavingCopiesTheRecordingOnlyWhereTheUserAgrees)
{
    const auto temporary = m_home.Path() / ".$$a.tmp";
    const auto old = m_home.Path() / "old.mp3";
    const auto fresh = m_home.Path() / "我的歌.mp3";
    const auto unreachable = m_home.Path() / "missing-folder" / "take.mp3";
    using Paths = std::deque<std::optional<std::filesystem::path>>;
    struct Case {
        const char* name;
        Paths paths; // the dialog is cancelled after these
        std::deque<EPromptAnswer> answers;
        ETakeFate fate;
        std::filesystem::path saved; // "未保存的录音 …": kept in the program folder
        std::vector<std::string> messages;
        size_t dialogs;
    };
    const std::string overwrite = "该文件已经存在,您确定要覆盖它吗?";
    const std::string discard = "这段录音还没有保存, 要放弃它吗?";
    const std::filesystem::path dated = "未保存的录音 …";
    using enum EPromptAnswer;
    const Case cases[] = {
        {"new file", {fresh}, {}, ETakeFate::Saved, fresh, {}, 1},
        {"cancelled, discarded", {}, {Yes}, ETakeFate::Discarded, {}, {discard}, 1},
        {"cancelled, then saved", {std::nullopt, fresh}, {No}, ETakeFate::Saved, fresh, {discard}, 2},
        {"nobody answers", {}, {}, ETakeFate::Unanswered, dated, {discard}, 1},
        {"overwrite declined, another name", {old, fresh}, {No}, ETakeFate::Saved, fresh, {overwrite}, 2},
        {"overwrite accepted", {old}, {Yes}, ETakeFate::Saved, old, {overwrite}, 1},
        {"overwrite declined, cancelled", {old}, {No, Yes}, ETakeFate::Discarded, {}, {overwrite, discard}, 2},
        {"copy failed, shown again", {unreachable, fresh}, {}, ETakeFate::Saved, fresh,
            {"无法保存文件 " + unreachable.string()}, 2},
        {"not onto its own temporary file", {temporary, fresh}, {Yes}, ETakeFate::Saved, fresh,
            {overwrite, "无法保存文件 " + temporary.string()}, 2},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(fresh);
        m_home.WriteFile("old.mp3", "old take");
        auto writer = Recording("take");
        test::CScriptedUserPrompts prompts;
        prompts.m_paths = row.paths;
        prompts.m_answers = row.answers;
        const TakeSaveResult result = writer->SaveAs(prompts);
        EXPECT_EQ(result.fate, row.fate);
        if (row.saved == dated) {
            EXPECT_EQ(result.path.parent_path(), m_home.Path());
            EXPECT_TRUE(result.path.filename().string().starts_with("未保存的录音 20")) << result.path;
        } else {
            EXPECT_EQ(result.path, row.saved);
        }
        if (!row.saved.empty()) {
            EXPECT_EQ(test::ReadWholeFile(result.path), "take");
        }
        EXPECT_FALSE(std::filesystem::exists(temporary));
        if (row.saved != old) {
            EXPECT_EQ(test::ReadWholeFile(old), "old take");
        }
        EXPECT_EQ(prompts.m_fileDialogs.size(), row.dialogs);
        EXPECT_EQ(prompts.MessageTexts(), row.messages);
    }
}

// What a killed instance left is offered at the next start (its MP3, or its performance's PCM voice
// encoded); a take another instance is recording is never touched; numbers are used again.
TEST_F(Mp3StreamWriterTest, DeadTakeIsOfferedAtStart)
{
    CMp3StreamWriter live(&m_encoder, m_takes, 128, 0); // another instance's: its lock is held
    live.OpenTemporaryFile(m_prompts);
    m_home.WriteFile(".$$a3.tmp", "dead take");
    m_home.WriteFile(".$$performance3-voice.tmp", "voice");
    m_home.WriteFile(".$$performance4-voice.tmp", std::string(8, '\0')); // its MP3 saved or lost
    m_home.WriteFile(".$$a5.tmp", ""); // holds nothing
    m_prompts.m_answers = {EPromptAnswer::Cancel}; // asked again at the next start
    OfferDeadTakes(m_takes, m_prompts, &m_encoder);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_NE(m_prompts.MessageTexts()[0].find("留下了 2 段没有保存的录音"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_home.Path() / ".$$a5.tmp"));
    m_prompts.m_answers = {EPromptAnswer::Yes};
    m_prompts.m_paths = {m_home.Path() / "three.mp3", m_home.Path() / "four.mp3"};
    OfferDeadTakes(m_takes, m_prompts, &m_encoder);
    EXPECT_EQ(test::ReadWholeFile(m_home.Path() / "three.mp3"), "dead take");
    EXPECT_EQ(test::ReadWholeFile(m_home.Path() / "four.mp3"), "E2;F;");
    for (const char* gone : {".$$a3.tmp", ".$$performance3-voice.tmp", ".$$performance4-voice.tmp"})
        EXPECT_FALSE(std::filesystem::exists(m_home.Path() / gone)) << gone;
    EXPECT_TRUE(std::filesystem::exists(m_home.Path() / ".$$a.tmp")); // the live take's

    CMp3StreamWriter second(&m_encoder, m_takes, 128, 0);
    second.OpenTemporaryFile(m_prompts);
    EXPECT_EQ(second.TakeNumber(), 2);
    for (int number = 3; number <= 1002; ++number) // more than the thousand that once ran out
        m_home.WriteFile(".$$performance" + std::to_string(number) + "-accompaniment.tmp", "");
    CMp3StreamWriter third(&m_encoder, m_takes, 128, 0);
    third.OpenTemporaryFile(m_prompts);
    EXPECT_EQ(third.TakeNumber(), 1003);
}

TEST_F(LameEncodingTest, ThirtyTwoKilobitsSelectMpeg2)
{
    const auto samples = test::SineFrames(44100, 440, 0.5);
    CMp3StreamWriter writer(&m_lame, m_takes, 32, 0);
    writer.OpenTemporaryFile(m_prompts);
    writer.Write(samples.data(), samples.size() * 2);
    writer.Close();
    const std::string bytes = test::ReadWholeFile(writer.TemporaryPath());
    const auto frames = test::Mp3Frames(bytes);
    // One second at 22.05 kHz, 576 samples a frame.
    ASSERT_GE(frames.size(), 38u);
    // MPEG-2 layer III, no CRC, 32 kbit/s, 22.05 kHz, private, joint stereo, copyright, original.
    for (const test::Mp3Frame& frame : frames)
        ASSERT_EQ(frame.header & 0xFFFFFDCF, 0xFFF3414Cu) << "frame at " << frame.offset;
}

} // namespace
} // namespace linlangok
