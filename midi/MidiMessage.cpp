#include "midi/MidiMessage.h"

#include "common/CodePage.h"
#include "midi/MessageArena.h"
#include "midi/MidiShortMessageSink.h"

#include <cstring>
#include <iomanip>
#include <stdexcept>

namespace linlangok {

// Entries and messages are the bulk of a loaded song: keep them small.
static_assert(sizeof(CChannelMessage) == 16);
static_assert(sizeof(CNoteOnMessage) == 16);
static_assert(sizeof(CMetaMessage) == 24);
static_assert(sizeof(CSysExMessage) == 24);

namespace {

bool HasOneDataByte(int32_t command)
{
    return command == 0xC0 || command == 0xD0;
}

uint8_t CheckedDataByte(int value)
{
    if (value < 0 || value > 0x7F)
        throw std::invalid_argument("MIDI data byte out of range");
    return static_cast<uint8_t>(value);
}

uint8_t CheckedStatus(int command, int channel)
{
    if (command < 0x80 || command > 0xE0 || (command & 0x0F) != 0 || channel < 0 || channel > 15)
        throw std::invalid_argument("MIDI channel status out of range");
    return static_cast<uint8_t>(command | channel);
}

void WriteBigEndian32(std::ostream& out, uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
        static_cast<char>(value >> 8), static_cast<char>(value)};
    out.write(bytes, 4);
}

void CheckBufferSize(size_t available, size_t needed)
{
    if (available < needed)
        throw std::invalid_argument("archive buffer too small");
}

int32_t NativeLengthAt(std::span<const uint8_t> buffer, size_t offset)
{
    CheckBufferSize(buffer.size(), offset + 4);
    int32_t length;
    std::memcpy(&length, buffer.data() + offset, 4);
    if (length < 0)
        throw std::invalid_argument("negative length in archive form");
    CheckBufferSize(buffer.size() - offset - 4, static_cast<size_t>(length));
    return length;
}

// Archive form of meta and system exclusive messages: the status (and meta type), a 4-byte length in
// native order, the data.
size_t DataToBuffer(std::span<uint8_t> buffer, std::span<const uint8_t> head, std::span<const uint8_t> data)
{
    const size_t size = head.size() + 4 + data.size();
    CheckBufferSize(buffer.size(), size);
    std::memcpy(buffer.data(), head.data(), head.size());
    const auto length = static_cast<int32_t>(data.size());
    std::memcpy(buffer.data() + head.size(), &length, 4);
    if (!data.empty())
        std::memcpy(buffer.data() + head.size() + 4, data.data(), data.size());
    return size;
}

void WriteDataSmf(SmfOutput& out, std::span<const uint8_t> head, std::span<const uint8_t> data)
{
    out.stream.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    WriteVariableLength(out.stream, static_cast<uint32_t>(data.size()));
    out.stream.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.runningStatus = 0;
}

void DumpBytes(std::ostream& out, std::span<const uint8_t> data)
{
    const auto flags = out.flags();
    out << std::hex << std::uppercase << std::setfill('0');
    for (const uint8_t byte : data)
        out << ' ' << std::setw(2) << int(byte);
    out.flags(flags);
}

} // namespace

void WriteVariableLength(std::ostream& out, uint32_t value)
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

CChannelMessage::CChannelMessage(uint8_t command, uint8_t channel, uint8_t data1)
    : m_status(CheckedStatus(command, channel))
    , m_data1(CheckedDataByte(data1))
{
    if (!HasOneDataByte(command))
        throw std::invalid_argument("MIDI command needs two data bytes");
}

CChannelMessage::CChannelMessage(uint8_t command, uint8_t channel, uint8_t data1, uint8_t data2)
    : m_status(CheckedStatus(command, channel))
    , m_data1(CheckedDataByte(data1))
    , m_data2(HasOneDataByte(command) ? 0 : CheckedDataByte(data2))
{
}

CChannelMessage::CChannelMessage(uint32_t packedMessage)
    : CChannelMessage(static_cast<uint8_t>(packedMessage & 0xF0), static_cast<uint8_t>(packedMessage & 0x0F),
        static_cast<uint8_t>(packedMessage >> 8), static_cast<uint8_t>(packedMessage >> 16))
{
}

void CChannelMessage::SetData1(uint8_t data1)
{
    m_data1 = CheckedDataByte(data1);
}

void CChannelMessage::SetData2(uint8_t data2)
{
    m_data2 = HasOneDataByte(Command()) ? 0 : CheckedDataByte(data2);
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

void CChannelMessage::WriteArchive(std::ostream& out) const
{
    uint8_t form[8];
    const size_t size = ToBuffer(form);
    out.write(reinterpret_cast<const char*>(form), static_cast<std::streamsize>(size));
}

size_t CChannelMessage::ToBuffer(std::span<uint8_t> buffer) const
{
    CheckBufferSize(buffer.size(), 4);
    buffer[0] = static_cast<uint8_t>(Command());
    buffer[1] = Channel();
    buffer[2] = m_data1;
    buffer[3] = m_data2;
    return 4;
}

CMidiMessage* CChannelMessage::FromBuffer(std::span<const uint8_t> buffer, size_t& used, CMessageArena& arena) const
{
    CheckBufferSize(buffer.size(), 4);
    used = 4;
    if (HasOneDataByte(buffer[0]))
        return arena.New<CChannelMessage>(buffer[0], buffer[1], buffer[2]);
    return arena.New<CChannelMessage>(buffer[0], buffer[1], buffer[2], buffer[3]);
}

CMidiMessage* CChannelMessage::Clone(CMessageArena& arena) const
{
    return arena.New<CChannelMessage>(*this);
}

int32_t CChannelMessage::Perform(IMidiShortMessageSink& output) const
{
    output.SendShort(PackedMessage());
    return 0;
}

void CChannelMessage::Dump(std::ostream& out) const
{
    static const char* const kNames[]
        = {"NoteOff", "NoteOn", "KeyPressure", "Control", "Program", "ChannelPressure", "PitchBend"};
    out << kNames[(Command() >> 4) - 8] << " channel " << int(Channel()) << " data " << int(m_data1);
    if (!HasOneDataByte(Command()))
        out << ' ' << int(m_data2);
}

CNoteOnMessage::CNoteOnMessage(uint8_t channel, uint8_t key, uint8_t velocity)
    : CChannelMessage(0x90, channel, key, velocity)
{
}

void CNoteOnMessage::SetNotation(uint8_t degree, uint8_t octave, uint8_t accidental)
{
    m_degree = degree;
    m_octave = octave;
    m_accidental = accidental;
}

void CNoteOnMessage::SetKeySignature(int8_t keySignature)
{
    if (keySignature < -7 || keySignature > 7)
        throw std::invalid_argument("key signature out of range");
    m_keySignature = keySignature;
}

size_t CNoteOnMessage::ToBuffer(std::span<uint8_t> buffer) const
{
    CheckBufferSize(buffer.size(), 8);
    CChannelMessage::ToBuffer(buffer);
    buffer[4] = m_degree;
    buffer[5] = m_octave;
    buffer[6] = m_accidental;
    buffer[7] = static_cast<uint8_t>(m_keySignature);
    return 8;
}

CMidiMessage* CNoteOnMessage::FromBuffer(std::span<const uint8_t> buffer, size_t& used, CMessageArena& arena) const
{
    CheckBufferSize(buffer.size(), 8);
    if (buffer[0] != 0x90)
        throw std::invalid_argument("archive form is not a note-on");
    CNoteOnMessage note(buffer[1], buffer[2], buffer[3]);
    note.SetNotation(buffer[4], buffer[5], buffer[6]);
    note.SetKeySignature(static_cast<int8_t>(buffer[7]));
    used = 8;
    return arena.New<CNoteOnMessage>(note);
}

CMidiMessage* CNoteOnMessage::Clone(CMessageArena& arena) const
{
    return arena.New<CNoteOnMessage>(*this);
}

void CNoteOnMessage::Dump(std::ostream& out) const
{
    CChannelMessage::Dump(out);
    out << " notation " << int(m_degree) << '/' << int(m_octave) << '/' << int(m_accidental) << " key "
        << int(m_keySignature);
}

CMetaMessage::CMetaMessage(CMessageArena& arena, int32_t type, const uint8_t* data, int32_t length)
    : m_type(type)
    , m_length(0)
    , m_data(nullptr)
{
    if (type < 0 || type > 0xFF || length < 0)
        throw std::invalid_argument("invalid meta event");
    SetData(arena, {data, static_cast<size_t>(length)});
}

void CMetaMessage::SetData(CMessageArena& arena, std::span<const uint8_t> data)
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
        throw std::runtime_error("Meta数据长度出错!");
    m_data = arena.CopyBytes(data);
    m_length = static_cast<int32_t>(length);
}

int32_t CMetaMessage::TempoOf() const
{
    if (m_type != kMetaSetTempo)
        return 0;
    int32_t tempo = 0;
    for (const uint8_t byte : Data())
        tempo = tempo << 8 | byte;
    return tempo;
}

void CMetaMessage::SetTempoValue(int32_t tempo)
{
    if (m_type != kMetaSetTempo)
        return;
    m_data[0] = static_cast<uint8_t>(tempo >> 16);
    m_data[1] = static_cast<uint8_t>(tempo >> 8);
    m_data[2] = static_cast<uint8_t>(tempo);
}

std::u16string CMetaMessage::TextOfType(int32_t type, const ICodePage& codePage) const
{
    if (m_type != type || m_length == 0)
        return {};
    const auto* end = static_cast<const uint8_t*>(std::memchr(m_data, 0, static_cast<size_t>(m_length)));
    const size_t size = end ? static_cast<size_t>(end - m_data) : static_cast<size_t>(m_length);
    return codePage.ToWide(std::string_view(reinterpret_cast<const char*>(m_data), size));
}

void CMetaMessage::WriteSmf(SmfOutput& out) const
{
    const uint8_t head[2] = {kMetaStatus, static_cast<uint8_t>(m_type)};
    WriteDataSmf(out, head, Data());
}

void CMetaMessage::WriteArchive(std::ostream& out) const
{
    out.put(static_cast<char>(kMetaStatus));
    out.put(static_cast<char>(m_type));
    WriteBigEndian32(out, static_cast<uint32_t>(m_length));
    out.write(reinterpret_cast<const char*>(m_data), m_length);
}

size_t CMetaMessage::ToBuffer(std::span<uint8_t> buffer) const
{
    const uint8_t head[2] = {kMetaStatus, static_cast<uint8_t>(m_type)};
    return DataToBuffer(buffer, head, Data());
}

CMidiMessage* CMetaMessage::FromBuffer(std::span<const uint8_t> buffer, size_t& used, CMessageArena& arena) const
{
    CheckBufferSize(buffer.size(), 2);
    if (buffer[0] != kMetaStatus)
        throw std::invalid_argument("archive form is not a meta event");
    const int32_t length = NativeLengthAt(buffer, 2);
    auto* message = arena.New<CMetaMessage>(arena, buffer[1], buffer.data() + 6, length);
    used = 6 + static_cast<size_t>(length);
    return message;
}

CMidiMessage* CMetaMessage::Clone(CMessageArena& arena) const
{
    return arena.New<CMetaMessage>(arena, m_type, m_data, m_length);
}

int32_t CMetaMessage::Perform(IMidiShortMessageSink&) const
{
    if (m_type == kMetaSetTempo)
        return TempoOf();
    return m_type == kMetaMarker ? 1 : 0;
}

void CMetaMessage::Dump(std::ostream& out) const
{
    out << "Meta type " << m_type << " length " << m_length;
    DumpBytes(out, Data());
}

CSysExMessage::CSysExMessage(CMessageArena& arena, uint8_t status, const uint8_t* data, int32_t length)
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
    const uint8_t head[1] = {StatusByte()};
    WriteDataSmf(out, head, Data());
}

void CSysExMessage::WriteArchive(std::ostream& out) const
{
    out.put(static_cast<char>(m_status));
    WriteBigEndian32(out, static_cast<uint32_t>(m_length));
    out.write(reinterpret_cast<const char*>(m_data), m_length);
}

size_t CSysExMessage::ToBuffer(std::span<uint8_t> buffer) const
{
    const uint8_t head[1] = {StatusByte()};
    return DataToBuffer(buffer, head, Data());
}

CMidiMessage* CSysExMessage::FromBuffer(std::span<const uint8_t> buffer, size_t& used, CMessageArena& arena) const
{
    CheckBufferSize(buffer.size(), 1);
    const int32_t length = NativeLengthAt(buffer, 1);
    auto* message = arena.New<CSysExMessage>(arena, buffer[0], buffer.data() + 5, length);
    used = 5 + static_cast<size_t>(length);
    return message;
}

CMidiMessage* CSysExMessage::Clone(CMessageArena& arena) const
{
    return arena.New<CSysExMessage>(arena, StatusByte(), m_data, m_length);
}

int32_t CSysExMessage::Perform(IMidiShortMessageSink&) const
{
    return 0;
}

void CSysExMessage::Dump(std::ostream& out) const
{
    out << "SysEx status " << m_status << " length " << m_length;
    DumpBytes(out, Data());
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

CNoteOnMessage* AsNoteOnMessage(CMidiMessage* message)
{
    // A note-on built as a plain channel message (from an archive form) has no notation fields.
    return dynamic_cast<CNoteOnMessage*>(message);
}

bool IsMetaOfType(const CMidiMessage* message, int32_t type)
{
    const CMetaMessage* meta = AsMetaMessage(message);
    return meta && meta->Type() == type;
}

} // namespace linlangok
