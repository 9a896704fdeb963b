#include "midi/MidiFileReader.h"

#include "common/ErrorLog.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "midi/MidiSong.h"

#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace linlangok {
namespace {

// Corrupt or cut-off data: reported as the read error, not as a refusal.
class CReadFault { };

std::uint16_t BigEndian16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// Data bytes that follow a system common (0xF1-0xF6) or real-time (0xF8-0xFE) status byte.
int SystemDataByteCount(std::uint8_t status)
{
    switch (status) {
    case 0xF1: // MIDI time code quarter frame
    case 0xF3: // song select
        return 1;
    case 0xF2: // song position pointer
        return 2;
    default:
        return 0;
    }
}

} // namespace

CMidiFileReader::CMidiFileReader(CMidiSong& song, std::vector<MessageRequest>& messages)
    : m_song(song)
    , m_messages(messages)
{
}

std::u16string ReadErrorMessage()
{
    return Tr("CMidiFileReader", "读文件时出错!");
}

void CMidiFileReader::Report(std::u16string_view caption, std::u16string_view text)
{
    m_messages.push_back({std::u16string(caption), std::u16string(text)});
}

bool CMidiFileReader::Read(const std::filesystem::path& path)
{
    if (path.empty())
        return false;
    const CRegularFile file(path, kMaximumMidiFileSize);
    if (!file.IsOpen() && file.Result() != EFileRead::TooLarge) {
        Report(CaptionError(), Tr("CMidiFileReader", "不能打开所选文件,或文件不存在!"));
        return false;
    }
    const std::uint64_t size = file.Size();
    bool whole = file.IsOpen();
    if (whole) {
        try {
            m_ownedBytes = std::make_unique_for_overwrite<std::byte[]>(size);
        } catch (const std::bad_alloc&) {
            whole = false;
        }
    }
    if (!whole || !file.ReadAt(0, m_ownedBytes.get(), size)) {
        m_ownedBytes.reset();
        Report(CaptionWarning(), ReadErrorMessage());
        return false;
    }
    const bool read
        = Read(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(m_ownedBytes.get()), size));
    m_ownedBytes.reset();
    return read;
}

bool CMidiFileReader::Read(std::span<const std::uint8_t> bytes)
{
    m_bytes = bytes;
    m_position = 0;
    m_adopted = nullptr;
    m_reused = 0;
    bool read = true;
    try {
        ReadSong();
    } catch (const std::runtime_error& refusal) {
        Report(CaptionWarning(), Utf8ToUtf16(refusal.what()));
        read = false;
    } catch (...) {
        LogError("reading the MIDI file");
        Report(CaptionWarning(), ReadErrorMessage());
    }
    // What the song's arena took over is all free now, for the messages that loading adds.
    if (m_adopted) {
        m_position = m_bytes.size();
        ReuseBytesRead();
    }
    return read;
}

void CMidiFileReader::ReadSong()
{
    if (m_bytes.size() < 14 || std::memcmp(m_bytes.data(), "MThd\0\0\0\x06", 8) != 0)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "文件类型不正确!"));
    const std::uint8_t* header = m_bytes.data();
    m_position = 14;
    m_song.Clear();

    const std::uint16_t format = BigEndian16(header + 8);
    if (format > 2)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "文件类型无效!"));
    m_song.SetFormat(format);

    const std::uint16_t trackCount = BigEndian16(header + 10);
    if (trackCount > 1 && format == 0)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "无效的文件格式!"));
    if (trackCount == 0)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "音轨数错误!"));
    for (std::uint16_t track = 0; track < trackCount; ++track)
        m_song.AddTrack(std::make_unique<CMidiTrack>(m_song));

    const std::uint16_t division = BigEndian16(header + 12);
    if (division & 0x8000)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "对不起,该文件采用了暂时不能处理的SMPTE定时方式!"));
    if (division == 0)
        throw std::runtime_error(TrUtf8("CMidiFileReader", "文件类型无效!"));
    m_song.SetDivision(division);

    // Track chunks are looked for after the header: a division whose low byte is 'M' must not
    // take the first chunk's "MTrk" as the rest of a mismatch.
    bool damaged = false;
    for (std::uint16_t track = 0; track < trackCount; ++track) {
        if (!FindTrackChunk()) {
            Report(u"", Tr("CMidiFileReader", "音轨数错误!"));
            break;
        }
        if (!ReadTrack(m_song.Track(track)) && !damaged) {
            Report(CaptionWarning(), ReadErrorMessage());
            damaged = true;
        }
        if (track + 1 < trackCount)
            ReuseBytesRead();
    }
}

// The file's bytes before the read position are not looked at again. When the reader owns them
// (it read the file), the song's arena takes them over and makes the messages of the tracks still
// to come there: loading then touches hardly more fresh memory than the song itself needs.
void CMidiFileReader::ReuseBytesRead()
{
    if (!m_ownedBytes && !m_adopted)
        return;
    CMessageArena& arena = m_song.Messages();
    if (!m_adopted) {
        std::byte* bytes = m_ownedBytes.get();
        arena.Adopt(std::move(m_ownedBytes), m_bytes.size());
        m_adopted = bytes;
    }
    arena.Reuse(m_adopted + m_reused, m_position - m_reused);
    m_reused = m_position;
}

bool CMidiFileReader::FindTrackChunk()
{
    static constexpr std::uint8_t kRest[3] = {'T', 'r', 'k'};
    while (m_position < m_bytes.size()) {
        if (m_bytes[m_position++] != 'M')
            continue;
        size_t matched = 0;
        // A mismatching byte is not looked at again: scanning resumes after it.
        while (matched < 3) {
            if (m_position == m_bytes.size())
                return false;
            if (m_bytes[m_position++] != kRest[matched])
                break;
            ++matched;
        }
        if (matched == 3)
            return true;
    }
    return false;
}

bool CMidiFileReader::ReadTrack(CMidiTrack& track)
{
    if (m_bytes.size() - m_position < 4) {
        m_position = m_bytes.size();
        return false;
    }
    const std::uint8_t* lengthBytes = m_bytes.data() + m_position;
    const std::uint32_t length = std::uint32_t(lengthBytes[0]) << 24 | std::uint32_t(lengthBytes[1]) << 16
        | std::uint32_t(lengthBytes[2]) << 8 | lengthBytes[3];
    m_position += 4;
    const size_t start = m_position;
    const std::uint64_t chunkEnd = std::uint64_t(start) + length;
    // Writers have left wrong chunk lengths, so a track ends at its End of Track. The length bounds
    // the track only when it leads to the next chunk or the end of the file; then a missing End of
    // Track or an event cut off by the chunk's end cannot swallow the next chunk.
    const bool lengthLeadsToChunk = chunkEnd == m_bytes.size()
        || (chunkEnd + 4 <= m_bytes.size() && std::memcmp(m_bytes.data() + chunkEnd, "MTrk", 4) == 0);
    const size_t end = lengthLeadsToChunk ? static_cast<size_t>(chunkEnd) : m_bytes.size();

    // Room for an event per 3 bytes of a chunk whose length holds, so a track rarely regrows its
    // entries: events take 3 bytes or more but for running-status program and pressure changes.
    if (lengthLeadsToChunk)
        track.Reserve(track.Count() + length / 3);
    const bool whole = ParseTrackEvents(track, end);
    // Damage stays inside its chunk: the next one is looked for after this one's length.
    if (!whole && chunkEnd <= m_bytes.size())
        m_position = static_cast<size_t>(chunkEnd);
    return whole;
}

// Appends the events of a track chunk up to its End of Track. False when corrupt or cut-off data
// ends the track first. The cursor is kept in locals so it stays in registers.
bool CMidiFileReader::ParseTrackEvents(CMidiTrack& track, size_t end)
{
    CMessageArena& arena = m_song.Messages();
    const std::uint8_t* const bytes = m_bytes.data();
    const std::uint8_t* next = bytes + m_position;
    const std::uint8_t* const last = bytes + end;
    const auto nextByte = [&] {
        if (next == last)
            throw CReadFault();
        return *next++;
    };
    // A data byte with its top bit set is still read as data, so the events after it keep their
    // places; the bit is dropped, as no device or file takes it.
    const auto nextDataByte = [&] { return static_cast<std::uint8_t>(nextByte() & 0x7F); };
    const auto nextVariableLength = [&] {
        // At most 4 bytes, as the format allows: a longer quantity is corrupt data.
        std::uint32_t value = 0;
        for (int count = 0; count < 4; ++count) {
            const std::uint8_t byte = nextByte();
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80))
                return value;
        }
        throw CReadFault();
    };

    std::int64_t tick = 0;
    // Ticks since the last event appended: the deltas of skipped bytes carry over to the next one.
    std::int64_t delta = 0;
    std::uint8_t runningStatus = 0;
    bool whole = false;
    try {
        for (;;) {
            const std::uint32_t eventDelta = nextVariableLength();
            delta += eventDelta;
            tick += eventDelta;
            if (tick > std::numeric_limits<std::int32_t>::max())
                break;
            std::uint8_t status = nextByte();
            std::uint8_t data1;
            if (status < 0x80) {
                if (runningStatus == 0)
                    break;
                data1 = status;
                status = runningStatus;
            } else if (IsChannelStatus(status)) {
                runningStatus = status;
                data1 = nextDataByte();
            } else if (status == kMetaStatus || IsSysExStatus(status)) {
                const std::uint8_t type = status == kMetaStatus ? nextByte() : status;
                if (status == kMetaStatus && type == kMetaEndOfTrack) {
                    track.AdjustDelta(track.Count() - 1, static_cast<std::int32_t>(delta));
                    whole = true;
                    break;
                }
                const std::uint32_t length = nextVariableLength();
                if (length > static_cast<size_t>(last - next))
                    break;
                const std::uint8_t* data = next;
                next += length;
                const auto size = static_cast<std::int32_t>(length);
                CMidiMessage* message = status == kMetaStatus
                    ? static_cast<CMidiMessage*>(arena.New<CMetaMessage>(arena, type, data, size))
                    : arena.New<CSysExMessage>(arena, status, data, size);
                track.Append(message, static_cast<std::int32_t>(delta));
                delta = 0;
                continue;
            } else {
                // System common and real-time bytes make no message in a track: skipped with the
                // data bytes they carry, running status untouched.
                for (int skipped = SystemDataByteCount(status); skipped > 0; --skipped)
                    nextByte();
                continue;
            }
            const std::uint8_t command = status & 0xF0;
            const std::uint8_t data2 = command == 0xC0 || command == 0xD0 ? 0 : nextDataByte();
            const std::uint8_t channel = status & 0x0F;
            track.Append(arena.New<CChannelMessage>(command, channel, data1, data2), static_cast<std::int32_t>(delta));
            delta = 0;
        }
    } catch (const CReadFault&) {
    }
    m_position = static_cast<size_t>(next - bytes);
    return whole;
}

} // namespace linlangok
