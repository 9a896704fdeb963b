#include "tests/midi/MidiTestSupport.h"

#include "common/Text.h"
#include "midi/MidiFileReader.h"

#include <cstdio>
#include <memory>

namespace linlangok::test {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (const int value : values)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

std::string VariableLength(std::uint32_t value)
{
    std::string bytes(1, static_cast<char>(value & 0x7F));
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return bytes;
}

std::string SmfHeader(int format, int tracks, int division)
{
    return "MThd"
        + Bytes({0, 0, 0, 6, format >> 8, format & 0xFF, tracks >> 8, tracks & 0xFF, division >> 8, division & 0xFF});
}

std::string SmfTrack(std::string_view events)
{
    const auto size = static_cast<std::uint32_t>(events.size());
    return "MTrk" + Bytes({int(size >> 24), int(size >> 16 & 0xFF), int(size >> 8 & 0xFF), int(size & 0xFF)})
        + std::string(events);
}

std::string Gbk(std::string_view utf8)
{
    static const CIconvCodePage gbk("GBK");
    return gbk.FromWide(Utf8ToUtf16(utf8));
}

std::string MetaEvent(std::uint32_t delta, int type, std::string_view data)
{
    return VariableLength(delta) + Bytes({0xFF, type}) + VariableLength(static_cast<std::uint32_t>(data.size()))
        + std::string(data);
}

std::span<const std::uint8_t> AsBytes(std::string_view bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::vector<std::string> Describe(const CMidiTrack& track)
{
    std::vector<std::string> lines;
    for (const TrackEntry& entry : track.Entries()) {
        std::string line = std::to_string(entry.tick) + "/" + std::to_string(entry.delta);
        char hex[4];
        const auto appendHex = [&](int byte) {
            std::snprintf(hex, sizeof hex, " %02X", byte & 0xFF);
            line += hex;
        };
        appendHex(entry.message->StatusByte());
        if (const CChannelMessage* channel = AsChannelMessage(entry.message)) {
            appendHex(channel->Data1());
            if (channel->Command() != 0xC0 && channel->Command() != 0xD0)
                appendHex(channel->Data2());
        } else if (const CMetaMessage* meta = AsMetaMessage(entry.message)) {
            appendHex(meta->Type());
            if (meta->Type() >= 1 && meta->Type() <= 7) {
                line += " \"" + Utf16ToUtf8(meta->TextOfType(meta->Type(), track.Owner().CodePage())) + "\"";
            } else {
                for (const std::uint8_t byte : meta->Data())
                    appendHex(byte);
            }
        } else {
            const auto* sysEx = static_cast<const CSysExMessage*>(entry.message);
            for (const std::uint8_t byte : sysEx->Data())
                appendHex(byte);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::vector<std::string>> DescribeSong(const CMidiSong& song)
{
    std::vector<std::vector<std::string>> tracks;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        tracks.push_back(Describe(song.Track(index)));
    return tracks;
}

bool SongFixture::Read(std::span<const std::uint8_t> bytes)
{
    std::vector<MessageRequest> messages;
    const bool read = CMidiFileReader(song, messages).Read(bytes);
    prompts.ShowMessages(messages);
    return read;
}

CMidiTrack& SongFixture::AddEmptyTrack()
{
    return song.AddTrack(std::make_unique<CMidiTrack>(song));
}

CChannelMessage* SongFixture::Channel(int command, int channel, int data1, int data2)
{
    return song.Messages().New<CChannelMessage>(static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(channel),
        static_cast<std::uint8_t>(data1), static_cast<std::uint8_t>(data2));
}

CChannelMessage* SongFixture::NoteOn(int channel, int key, int velocity)
{
    return Channel(0x90, channel, key, velocity);
}

CMetaMessage* SongFixture::Meta(int type, std::string_view data)
{
    CMessageArena& arena = song.Messages();
    return arena.New<CMetaMessage>(
        arena, type, reinterpret_cast<const std::uint8_t*>(data.data()), static_cast<std::int32_t>(data.size()));
}

CMetaMessage* SongFixture::Tempo(std::int32_t tempo)
{
    return Meta(0x51, Bytes({tempo >> 16, tempo >> 8 & 0xFF, tempo & 0xFF}));
}

} // namespace linlangok::test
