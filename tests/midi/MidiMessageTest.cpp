#include "midi/MidiMessage.h"
#include "midi/MessageArena.h"
#include "midi/MidiShortMessageSink.h"
#include "tests/midi/MidiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace linlangok::test {
namespace {

struct CRecordingSink : IMidiShortMessageSink {
    void SendShort(std::uint32_t packedMessage) override { sent.push_back(packedMessage); }
    std::vector<std::uint32_t> sent;
};

std::string WriteSmf(std::initializer_list<const CMidiMessage*> messages)
{
    std::ostringstream stream;
    SmfOutput out {stream};
    for (const CMidiMessage* message : messages)
        message->WriteSmf(out);
    return stream.str();
}

TEST(ChannelMessage, PackedFormAndFieldsAgree)
{
    EXPECT_EQ(CChannelMessage(0x00403C91u).PackedMessage(), 0x00403C91u);
    CChannelMessage program(0xC0, 5, 10);
    EXPECT_EQ(program.PackedMessage(), 0x0AC5u);
    program.SetData1(11);
    EXPECT_EQ(program.PackedMessage(), 0x0BC5u);
    EXPECT_EQ(CChannelMessage(0xB0, 0, 7, 90).PackedMessage(), 0x5A07B0u);

    EXPECT_THROW(CChannelMessage(0xB0, 16, 1, 1), std::invalid_argument);
    EXPECT_THROW(CChannelMessage(0xB0, 0, 128, 1), std::invalid_argument);
    EXPECT_THROW(CChannelMessage(0xF0, 0, 1, 1), std::invalid_argument);
    EXPECT_THROW(CChannelMessage(0x90, 0, 1), std::invalid_argument);
    EXPECT_THROW(program.SetData1(200), std::invalid_argument);

    CRecordingSink sink;
    EXPECT_EQ(CChannelMessage(0x90, 2, 60, 100).Perform(sink), PerformResult {EPerformed::Sent});
    EXPECT_EQ(sink.sent, std::vector<std::uint32_t> {0x643C92u});
}

TEST(SmfWriting, RunningStatusIsClearedByMetaAndSysEx)
{
    CMessageArena arena;
    const CChannelMessage first(0x90, 0, 0x3C, 0x40);
    const CChannelMessage second(0x90, 0, 0x3E, 0x40);
    const CChannelMessage program(0xC0, 0, 5);
    const CMetaMessage text(arena, 1, nullptr, 0);
    const std::uint8_t data[5] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
    const CSysExMessage sysEx(arena, 0xF0, data, 5);
    EXPECT_EQ(WriteSmf({&first, &second}), Bytes({0x90, 0x3C, 0x40, 0x3E, 0x40}));
    EXPECT_EQ(WriteSmf({&first, &text, &second}), Bytes({0x90, 0x3C, 0x40, 0xFF, 0x01, 0x00, 0x90, 0x3E, 0x40}));
    EXPECT_EQ(WriteSmf({&program, &sysEx, &first}),
        Bytes({0xC0, 0x05, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x90, 0x3C, 0x40}));
}

TEST(SmfWriting, VariableLengthQuantities)
{
    const auto encode = [](std::uint32_t value) {
        std::ostringstream out;
        WriteVariableLength(out, value);
        return out.str();
    };
    EXPECT_EQ(encode(0), Bytes({0x00}));
    EXPECT_EQ(encode(0x7F), Bytes({0x7F}));
    EXPECT_EQ(encode(0x80), Bytes({0x81, 0x00}));
    EXPECT_EQ(encode(0x3FFF), Bytes({0xFF, 0x7F}));
    EXPECT_EQ(encode(0x0FFFFFFF), Bytes({0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_THROW(encode(0x10000000), std::invalid_argument);
}

TEST(MetaMessage, LengthMustFitTheType)
{
    CMessageArena arena;
    const std::uint8_t data[4] = {1, 2, 3, 4};
    const auto refused = [&](int type, int length) {
        try {
            CMetaMessage(arena, type, data, length);
        } catch (const std::runtime_error& error) {
            return std::string(error.what()) == "Meta数据长度出错!";
        }
        return false;
    };
    for (const auto& [type, length] :
        {std::pair(0x00, 2), {0x00, 0}, {0x51, 4}, {0x2F, 1}, {0x54, 4}, {0x58, 3}, {0x59, 1}})
        EXPECT_TRUE(refused(type, length)) << type << " " << length;
    EXPECT_FALSE(refused(0x58, 4));
    EXPECT_FALSE(refused(0x7F, 4));
    EXPECT_THROW(CMetaMessage(arena, 256, data, 1), std::invalid_argument);
}

TEST(MetaMessage, TempoAndTexts)
{
    CMessageArena arena;
    const std::uint8_t tempoBytes[3] = {0x07, 0xA1, 0x20};
    CMetaMessage tempo(arena, 0x51, tempoBytes, 3);
    CRecordingSink sink;
    EXPECT_EQ(tempo.TempoOf(), 500000);
    EXPECT_EQ(tempo.Perform(sink), (PerformResult {EPerformed::TempoChange, 500000}));
    tempo.SetTempoValue(400000);
    EXPECT_EQ(tempo.Data()[0], 0x06);
    EXPECT_EQ(tempo.TempoOf(), 400000);

    // Texts are decoded by the code page handed in.
    const CIconvCodePage big5("BIG5");
    const std::string text = big5.FromWide(u"茉莉花") + std::string("\0tail", 5);
    const CMetaMessage name(arena, 3, reinterpret_cast<const std::uint8_t*>(text.data()), std::int32_t(text.size()));
    EXPECT_EQ(name.TrackNameText(big5), u"茉莉花");
    EXPECT_NE(name.TrackNameText(CIconvCodePage("GBK")), u"茉莉花");
    EXPECT_EQ(name.LyricText(big5), u"");
    EXPECT_EQ(name.TempoOf(), 0);
    EXPECT_EQ(name.Perform(sink), PerformResult {});
    const CMetaMessage marker(arena, 6, nullptr, 0);
    EXPECT_EQ(marker.Perform(sink), PerformResult {EPerformed::Marker});
    EXPECT_TRUE(sink.sent.empty());
}

TEST(MessageArena, AdoptedBytesServeOnlyOnceGivenForReuse)
{
    CMessageArena arena;
    auto storage = std::make_unique<std::byte[]>(64);
    std::byte* bytes = storage.get();
    arena.Adopt(std::move(storage), 64);
    const auto* first = static_cast<std::byte*>(arena.Allocate(16));
    EXPECT_TRUE(first < bytes || first >= bytes + 64);
    arena.Allocate(4096 - 16); // the first block is full
    arena.Reuse(bytes, 16);
    arena.Reuse(bytes + 16, 48); // joins the run before
    EXPECT_EQ(arena.Allocate(40), bytes);
    EXPECT_EQ(arena.Allocate(24), bytes + 40);
    const auto* beyond = static_cast<std::byte*>(arena.Allocate(8));
    EXPECT_TRUE(beyond < bytes || beyond >= bytes + 64);
}

} // namespace
} // namespace linlangok::test
