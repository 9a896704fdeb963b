#include "midi/MidiMessage.h"

#include "common/CodePage.h"
#include "common/Translation.h"
#include "midi/MessageArena.h"
#include "midi/MidiShortMessageSink.h"

#include <cstring>
#include <stdexcept>

namespace linlangok {

// Entries and messages are the bulk of a loaded song: keep them small.
static_assert(sizeof(CChannelMessage) == 16);
static_assert(sizeof(CMetaMessage) == 24);
static_assert(sizeof(CSysExMessage) == 24);

namespace {

bool HasOneDataByte(std::int32_t command)
{
    return command == 0xC0 || command == 0xD0;
}

std::uint8_t CheckedDataByte(int value)
{
    if (value < 0 || value > 0x7F)
        throw std::invalid_argument("MIDI data byte out of range");
    return static_cast<std::uint8_t>(value);
}

std::uint8_t CheckedStatus(int command, int channel)
{
    if (command < 0x80 || command > 0xE0 || (command & 0x0F) != 0 || channel < 0 || channel > 15)
        throw std::invalid_argument("MIDI channel status out of range");
    return static_cast<std::uint8_t>(command | channel);
}

void WriteDataSmf(SmfOutput& out, std::span<const std::uint8_t> head, std::span<const std::uint8_t> data)
{
    out.stream.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    WriteVariableLength(out.stream, static_cast<std::uint32_t>(data.size()));
    out.stream.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.runningStatus = 0;
}

} // namespace

void WriteVariableLength(std::ostream& out, std::uint32_t value)
{
    if (value > kMaximumVariableLength)
        throw std::invalid_argument("variable-length quantity too large");
    char bytes[4];
    int first = 3;
    bytes[3] = static_cast<char>(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[--first] = static_cast<char>(0x80 | (value & 0x7F));
    out.write(bytes + first, 4 - first);
}

CChannelMessage::CChannelMessage(std::uint8_t command, std::uint8_t channel, std::uint8_t data1)
    : m_status(CheckedStatus(command, channel))
    , m_data1(CheckedDataByte(data1))
{
    if (!HasOneDataByte(command))
        throw std::invalid_argument("MIDI command needs two data bytes");
}

CChannelMessage::CChannelMessage(std::uint8_t command, std::uint8_t channel, std::uint8_t data1, std::uint8_t data2)
    : m_status(CheckedStatus(command, channel))
    , m_data1(CheckedDataByte(data1))
    , m_data2(HasOneDataByte(command) ? 0 : CheckedDataByte(data2))
{
}

CChannelMessage::CChannelMessage(std::uint32_t packedMessage)
    : CChannelMessage(static_cast<std::uint8_t>(packedMessage & 0xF0), static_cast<std::uint8_t>(packedMessage & 0x0F),
        static_cast<std::uint8_t>(packedMessage >> 8), static_cast<std::uint8_t>(packedMessage >> 16))
{
}

void CChannelMessage::SetData1(std::uint8_t data1)
{
    m_data1 = CheckedDataByte(data1);
}

void CChannelMessage::WriteSmf(SmfOutput& out) const
{
    if (m_status != out.runningStatus) {
        out.stream.put(static_cast<char>(m_status));
        out.runningStatus = m_status;
    }
    out.stream.put(static_cast<char>(m_data1));
    if (!HasOneDataByte(Command()))
        out.stream.put(static_cast<char>(m_data2));
}

PerformResult CChannelMessage::Perform(IMidiShortMessageSink& output) const
{
    output.SendShort(PackedMessage());
    return {EPerformed::Sent};
}

CMetaMessage::CMetaMessage(CMessageArena& arena, std::int32_t type, const std::uint8_t* data, std::int32_t length)
    : m_type(type)
    , m_length(0)
    , m_data(nullptr)
{
    if (type < 0 || type > 0xFF || length < 0)
        throw std::invalid_argument("invalid meta event");
    SetData(arena, {data, static_cast<size_t>(length)});
}

void CMetaMessage::SetData(CMessageArena& arena, std::span<const std::uint8_t> data)
{
    const size_t length = data.size();
    bool accepted = true;
    switch (m_type) {
    case 0x00:
        accepted = false;
        break;
    case kMetaEndOfTrack:
        accepted = length == 0;
        break;
    case kMetaSetTempo:
        accepted = length == 3;
        break;
    case 0x54:
        accepted = length == 5;
        break;
    case 0x58:
        accepted = length == 4;
        break;
    case 0x59:
        accepted = length == 2;
        break;
    default:
        accepted = length <= 0x7FFFFFFF;
    }
    if (!accepted)
        throw std::runtime_error(TrUtf8("CMetaMessage", "Meta数据长度出错!"));
    m_data = arena.CopyBytes(data);
    m_length = static_cast<std::int32_t>(length);
}

std::int32_t CMetaMessage::TempoOf() const
{
    if (m_type != kMetaSetTempo)
        return 0;
    std::int32_t tempo = 0;
    for (const std::uint8_t byte : Data())
        tempo = tempo << 8 | byte;
    return tempo;
}

void CMetaMessage::SetTempoValue(std::int32_t tempo)
{
    if (m_type != kMetaSetTempo)
        return;
    m_data[0] = static_cast<std::uint8_t>(tempo >> 16);
    m_data[1] = static_cast<std::uint8_t>(tempo >> 8);
    m_data[2] = static_cast<std::uint8_t>(tempo);
}

std::u16string CMetaMessage::TextOfType(std::int32_t type, const ICodePage& codePage) const
{
    if (m_type != type || m_length == 0)
        return {};
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(m_data, 0, static_cast<size_t>(m_length)));
    const size_t size = end ? static_cast<size_t>(end - m_data) : static_cast<size_t>(m_length);
    return codePage.ToWide(std::string_view(reinterpret_cast<const char*>(m_data), size));
}

void CMetaMessage::WriteSmf(SmfOutput& out) const
{
    const std::uint8_t head[2] = {kMetaStatus, static_cast<std::uint8_t>(m_type)};
    WriteDataSmf(out, head, Data());
}

PerformResult CMetaMessage::Perform(IMidiShortMessageSink&) const
{
    if (m_type == kMetaSetTempo)
        return {EPerformed::TempoChange, TempoOf()};
    return {m_type == kMetaMarker ? EPerformed::Marker : EPerformed::Nothing};
}

CSysExMessage::CSysExMessage(CMessageArena& arena, std::uint8_t status, const std::uint8_t* data, std::int32_t length)
    : m_status(status)
    , m_length(length)
    , m_data(nullptr)
{
    if (!IsSysExStatus(status) || length < 0)
        throw std::invalid_argument("invalid system exclusive message");
    m_data = arena.CopyBytes({data, static_cast<size_t>(length)});
}

void CSysExMessage::WriteSmf(SmfOutput& out) const
{
    const std::uint8_t head[1] = {StatusByte()};
    WriteDataSmf(out, head, Data());
}

PerformResult CSysExMessage::Perform(IMidiShortMessageSink&) const
{
    return {};
}

const CChannelMessage* AsChannelMessage(const CMidiMessage* message)
{
    return message && IsChannelStatus(message->StatusByte()) ? static_cast<const CChannelMessage*>(message) : nullptr;
}

CChannelMessage* AsChannelMessage(CMidiMessage* message)
{
    return const_cast<CChannelMessage*>(AsChannelMessage(static_cast<const CMidiMessage*>(message)));
}

const CMetaMessage* AsMetaMessage(const CMidiMessage* message)
{
    return message && message->StatusByte() == kMetaStatus ? static_cast<const CMetaMessage*>(message) : nullptr;
}

CMetaMessage* AsMetaMessage(CMidiMessage* message)
{
    return const_cast<CMetaMessage*>(AsMetaMessage(static_cast<const CMidiMessage*>(message)));
}

bool IsMetaOfType(const CMidiMessage* message, std::int32_t type)
{
    const CMetaMessage* meta = AsMetaMessage(message);
    return meta && meta->Type() == type;
}

} // namespace linlangok
