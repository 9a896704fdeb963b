#include "core/engine/Mp3StreamWriter.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "tests/core/engine/FakeMp3Encoder.h"
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
        auto writer = std::make_unique<CMp3StreamWriter>(&m_encoder, m_home.Path(), 128, 0);
        writer->OpenTemporaryFile(m_prompts);
        writer->Close();
        m_home.WriteFile(".$$a.tmp", content);
        return writer;
    }

    test::CTemporaryFolder m_home;
    test::CScriptedUserPrompts m_prompts;
    test::FakeMp3Log m_log;
    test::CFakeMp3EncoderLibrary m_encoder {m_log};
    CLameMp3EncoderLibrary m_lame;
};
// The real encoder; the 128 kbit/s frames of a recording are checked end to end in PerformanceTest.
using LameEncodingTest = Mp3StreamWriterTest;

TEST_F(Mp3StreamWriterTest, EncoderMissingOrRefusingIsReported)
{
    EXPECT_THAT([&] { CMp3StreamWriter writer(nullptr, m_home.Path(), 128, 0); }, Raises("Error loading lame_enc.DLL"));
    m_log.refuse = true;
    EXPECT_THAT([&] { CMp3StreamWriter writer(&m_encoder, m_home.Path(), 128, 0); }, Raises("ERRORR in beInitStream."));
    // The real encoder refuses an output rate of the wrong MPEG version.
    EXPECT_THAT(
        [&] { CMp3StreamWriter writer(&m_lame, m_home.Path(), 128, 22050); }, Raises("ERRORR in beInitStream."));
}

TEST_F(Mp3StreamWriterTest, FourSecondsReachTheEncoderAsTwoChunksAndReplaceAnOldRecording)
{
    m_home.WriteFile(".$$a.tmp", "an old recording that was never saved");
    CMp3StreamWriter writer(&m_encoder, m_home.Path(), 128, 0);
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
    EXPECT_TRUE(m_prompts.m_messages.empty());
    writer.Write(block.data(), block.size()); // after Close: ignored
    EXPECT_EQ(m_log.calls.size(), 2u);
}

TEST_F(Mp3StreamWriterTest, AnIncompleteFrameWaitsForTheNextBlock)
{
    CMp3StreamWriter writer(&m_encoder, m_home.Path(), 128, 0);
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

TEST_F(Mp3StreamWriterTest, AnUncreatableFileIsReportedTwice)
{
    const auto blocker = m_home.WriteFile("plain-file", "");
    CMp3StreamWriter writer(&m_encoder, blocker / "inside", 128, 0);
    EXPECT_THAT([&] { writer.OpenTemporaryFile(m_prompts); }, Raises("Can't create MP3 file."));
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].caption, u"出错");
    EXPECT_EQ(m_prompts.m_messages[0].text, u"Can't create MP3 file");
    EXPECT_EQ(m_prompts.m_messages[0].buttons, EMessageButtons::YesNo);
}

TEST_F(Mp3StreamWriterTest, AFailingEncoderOrDiskKeepsTheWholeBlocksBeforeAndReportsAtClose)
{
    for (const bool diskFills : {false, true}) {
        SCOPED_TRACE(diskFills ? "disk fills" : "encoder fails");
        m_log.calls.clear();
        m_log.failEncode = false;
        CMp3StreamWriter writer(&m_encoder, m_home.Path(), 128, 0);
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
        std::optional<std::filesystem::path> saved;
        std::vector<std::u16string> captions;
        size_t dialogs;
    };
    const std::u16string overwrite = u"琳朗卡拉OK 1.2";
    const Case cases[] = {
        {"new file", {fresh}, {}, fresh, {}, 1},
        {"cancelled", {}, {}, std::nullopt, {}, 1},
        {"overwrite declined, another name", {old, fresh}, {EPromptAnswer::No}, fresh, {overwrite}, 2},
        {"overwrite accepted", {old}, {EPromptAnswer::Yes}, old, {overwrite}, 1},
        {"overwrite declined, cancelled", {old}, {EPromptAnswer::No}, std::nullopt, {overwrite}, 2},
        {"copy failed, shown again", {unreachable, fresh}, {}, fresh, {u"错误"}, 2},
        {"onto the temporary file", {temporary}, {EPromptAnswer::Yes}, temporary, {overwrite}, 1},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(fresh);
        m_home.WriteFile("old.mp3", "old take");
        auto writer = Recording("take");
        test::CScriptedUserPrompts prompts;
        prompts.m_paths = row.paths;
        prompts.m_answers = row.answers;
        EXPECT_EQ(writer->SaveAs(prompts), row.saved);
        if (row.saved) {
            EXPECT_EQ(test::ReadWholeFile(*row.saved), "take");
        }
        EXPECT_EQ(std::filesystem::exists(temporary), !row.saved || row.saved == temporary);
        if (row.saved != old) {
            EXPECT_EQ(test::ReadWholeFile(old), "old take");
        }
        EXPECT_EQ(prompts.m_fileDialogs.size(), row.dialogs);
        const auto& filters = prompts.m_fileDialogs.at(0).filters;
        ASSERT_EQ(filters.size(), 1u);
        EXPECT_EQ(filters[0].description, u"Music Files (*.mp3)");
        EXPECT_EQ(filters[0].patterns, u"*.mp3");
        ASSERT_EQ(prompts.m_messages.size(), row.captions.size());
        for (size_t i = 0; i < row.captions.size(); ++i) {
            EXPECT_EQ(prompts.m_messages[i].caption, row.captions[i]);
            if (row.captions[i] == overwrite) {
                EXPECT_EQ(prompts.m_messages[i].text, u"该文件已经存在,您确定要覆盖它吗?");
                EXPECT_EQ(prompts.m_messages[i].buttons, EMessageButtons::YesNo);
            }
        }
    }
}

TEST_F(LameEncodingTest, ThirtyTwoKilobitsSelectMpeg2)
{
    const auto samples = test::SineFrames(44100, 440, 0.5);
    CMp3StreamWriter writer(&m_lame, m_home.Path(), 32, 0);
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
