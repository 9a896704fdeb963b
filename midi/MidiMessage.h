#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace linlangok {

class CMessageArena;
class ICodePage;
class IMidiShortMessageSink;

// Where WriteSmf appends Standard MIDI File track bytes, with the running-status register: the last
// status byte written, 0 at the start of every track chunk. Used by one write at a time.
struct SmfOutput {
    std::ostream& stream;
    std::uint8_t runningStatus = 0;
};

// Largest value a Standard MIDI File variable-length quantity holds (4 bytes).
inline constexpr std::uint32_t kMaximumVariableLength = 0x0FFFFFFF;

// Appends a variable-length quantity: 7 bits per byte, most significant group first, bit 0x80 on
// every byte but the last. Throws std::invalid_argument above kMaximumVariableLength.
void WriteVariableLength(std::ostream& out, std::uint32_t value);

inline bool IsChannelStatus(std::uint8_t status)
{
    return status >= 0x80 && status <= 0xEF;
}
inline bool IsSysExStatus(std::uint8_t status)
{
    return status == 0xF0 || status == 0xF7;
}
inline constexpr std::uint8_t kMetaStatus = 0xFF;

// Meta event types this system reads.
inline constexpr std::int32_t kMetaText = 0x01;
inline constexpr std::int32_t kMetaNotice = 0x02;
inline constexpr std::int32_t kMetaTrackName = 0x03;
inline constexpr std::int32_t kMetaLyric = 0x05;
inline constexpr std::int32_t kMetaMarker = 0x06;
inline constexpr std::int32_t kMetaEndOfTrack = 0x2F;
inline constexpr std::int32_t kMetaSetTempo = 0x51;

// What performing a message did: sent its short message, changed the tempo (to `tempo`
// microseconds per quarter note, as the Set Tempo event holds it), reached a marker, or nothing.
enum class EPerformed : std::uint8_t { Nothing, Sent, TempoChange, Marker };

struct PerformResult {
    EPerformed what = EPerformed::Nothing;
    std::int32_t tempo = 0; // for TempoChange

    bool operator==(const PerformResult&) const = default;
};

// One MIDI message of a track: a channel message, a meta event or a system exclusive message,
// classified everywhere by StatusByte. Messages live in their song's CMessageArena and are owned
// by the track entry that holds them; they are destroyed with std::destroy_at, never deleted. Built and changed on the
// UI thread; the sequencer reads them (Perform, StatusByte) from the timer thread while a song plays.
class CMidiMessage {
public:
    virtual ~CMidiMessage() = default;

    // Appends the message in track form, without its delta time (running status for channel
    // messages; meta and system exclusive messages in full, clearing the register).
    virtual void WriteSmf(SmfOutput& out) const = 0;
    // Channel messages send their packed short message to the output (Sent); Set Tempo gives its
    // tempo (TempoChange); other meta events give Marker for a marker and Nothing otherwise; system
    // exclusive messages send nothing (Nothing). Output errors propagate.
    virtual PerformResult Perform(IMidiShortMessageSink& output) const = 0;
    // 0x80-0xEF for channel messages, 0xFF for meta events, 0xF0 or 0xF7 for system exclusive.
    virtual std::uint8_t StatusByte() const = 0;

protected:
    CMidiMessage() = default;
    CMidiMessage(const CMidiMessage&) = default;
    CMidiMessage& operator=(const CMidiMessage&) = default;
};

// A channel voice message. Status, data1 and data2 are stored; the packed message (status |
// data1 << 8 | data2 << 16), the command and the channel derive from them, which keeps every
// channel message, note-ons included, at 16 bytes. Constructors throw std::invalid_argument for a command outside
// 0x80-0xE0, a channel above 15 or a data byte above 127.
class CChannelMessage : public CMidiMessage {
public:
    // One-data-byte commands 0xC0 (program change) and 0xD0 (channel pressure).
    CChannelMessage(std::uint8_t command, std::uint8_t channel, std::uint8_t data1);
    CChannelMessage(std::uint8_t command, std::uint8_t channel, std::uint8_t data1, std::uint8_t data2);
    explicit CChannelMessage(std::uint32_t packedMessage);
    CChannelMessage(const CChannelMessage&) = default;

    std::uint8_t Status() const { return m_status; }
    std::uint32_t PackedMessage() const
    {
        return m_status | std::uint32_t(m_data1) << 8 | std::uint32_t(m_data2) << 16;
    }
    std::int32_t Command() const { return m_status & 0xF0; }
    std::uint8_t Channel() const { return m_status & 0x0F; }
    std::uint8_t Data1() const { return m_data1; }
    std::uint8_t Data2() const { return m_data2; }
    void SetData1(std::uint8_t data1);

    bool IsNoteOn() const { return Command() == 0x90 && m_data2 != 0; }
    // Command 0x80, or 0x90 with velocity 0.
    bool IsNoteOff() const { return Command() == 0x80 || (Command() == 0x90 && m_data2 == 0); }

    void WriteSmf(SmfOutput& out) const override;
    PerformResult Perform(IMidiShortMessageSink& output) const override;
    std::uint8_t StatusByte() const override { return m_status; }

private:
    std::uint8_t m_status;
    std::uint8_t m_data1;
    std::uint8_t m_data2 = 0;
};

// A meta event (status 0xFF). Its data bytes live in the arena. The constructor checks the length
// against the type and throws std::runtime_error("Meta数据长度出错!") for type 0, End of Track with
// data, Set Tempo not 3 bytes, SMPTE Offset not 5, Time Signature not 4, Key Signature not 2;
// std::invalid_argument for a type above 255 or a negative length.
class CMetaMessage : public CMidiMessage {
public:
    CMetaMessage(CMessageArena& arena, std::int32_t type, const std::uint8_t* data, std::int32_t length);

    std::int32_t Type() const { return m_type; }
    std::int32_t Length() const { return m_length; }
    std::span<const std::uint8_t> Data() const { return {m_data, static_cast<size_t>(m_length)}; }
    // Replaces the data (same length rules as the constructor).
    void SetData(CMessageArena& arena, std::span<const std::uint8_t> data);

    // Set Tempo: the data read as one big-endian number; 0 for other types.
    std::int32_t TempoOf() const;
    // Set Tempo only: data bytes 0-2 take bits 16-23, 8-15 and 0-7 of the value.
    void SetTempoValue(std::int32_t tempo);

    // The data up to the first zero byte, decoded from the code page, when the type matches; empty
    // otherwise.
    std::u16string TextOfType(std::int32_t type, const ICodePage& codePage) const;
    std::u16string TrackNameText(const ICodePage& codePage) const { return TextOfType(kMetaTrackName, codePage); }
    std::u16string TextEventText(const ICodePage& codePage) const { return TextOfType(kMetaText, codePage); }
    std::u16string LyricText(const ICodePage& codePage) const { return TextOfType(kMetaLyric, codePage); }

    void WriteSmf(SmfOutput& out) const override;
    PerformResult Perform(IMidiShortMessageSink& output) const override;
    std::uint8_t StatusByte() const override { return kMetaStatus; }

private:
    std::int32_t m_type;
    std::int32_t m_length;
    std::uint8_t* m_data;
};

// A system exclusive message, 0xF0 or 0xF7, with its data bytes exactly as read from the file.
// The constructor throws std::invalid_argument for another status or a negative length.
class CSysExMessage : public CMidiMessage {
public:
    CSysExMessage(CMessageArena& arena, std::uint8_t status, const std::uint8_t* data, std::int32_t length);

    std::int32_t Length() const { return m_length; }
    std::span<const std::uint8_t> Data() const { return {m_data, static_cast<size_t>(m_length)}; }

    void WriteSmf(SmfOutput& out) const override;
    PerformResult Perform(IMidiShortMessageSink& output) const override;
    std::uint8_t StatusByte() const override { return static_cast<std::uint8_t>(m_status); }

private:
    std::int32_t m_status;
    std::int32_t m_length;
    std::uint8_t* m_data;
};

// The message as its kind, or null when it is of another kind (by StatusByte).
const CChannelMessage* AsChannelMessage(const CMidiMessage* message);
CChannelMessage* AsChannelMessage(CMidiMessage* message);
const CMetaMessage* AsMetaMessage(const CMidiMessage* message);
CMetaMessage* AsMetaMessage(CMidiMessage* message);
// Whether the message is a meta event of the type.
bool IsMetaOfType(const CMidiMessage* message, std::int32_t type);

} // namespace linlangok
