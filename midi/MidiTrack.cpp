#include "midi/MidiTrack.h"

#include "common/CodePage.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

namespace linlangok {

static_assert(sizeof(TrackEntry) == 16);

namespace {

constexpr std::int32_t kMaximumTick = std::numeric_limits<std::int32_t>::max();

// Deltas of removed entries pile up on the next one; they stop at the largest tick.
std::int32_t SaturatedSum(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t(a) + b, kMaximumTick));
}

bool IsNoteMessage(const CChannelMessage* channel)
{
    return channel && (channel->Command() == 0x80 || channel->Command() == 0x90);
}

} // namespace

CMidiTrack::CMidiTrack(CMidiSong& owner)
    : m_owner(owner)
{
    CMessageArena& arena = owner.Messages();
    m_entries.push_back({arena.New<CMetaMessage>(arena, kMetaEndOfTrack, nullptr, 0), 0, 0});
}

CMidiTrack::~CMidiTrack()
{
    ClearEvents();
}

void CMidiTrack::CheckNotCleared() const
{
    if (m_entries.empty())
        throw std::invalid_argument("track has been cleared");
}

void CMidiTrack::CheckInsertion(const CMidiMessage* message) const
{
    CheckNotCleared();
    if (!message)
        throw std::invalid_argument("no message to insert");
}

const TrackEntry& CMidiTrack::Entry(size_t index) const
{
    if (index >= m_entries.size())
        throw std::invalid_argument("track entry index out of range");
    return m_entries[index];
}

void CMidiTrack::RefuseAppend(const CMidiMessage* message) const
{
    CheckInsertion(message);
    throw std::invalid_argument("delta time out of range");
}

void CMidiTrack::InsertFront(CMidiMessage* message)
{
    CheckInsertion(message);
    m_entries.insert(m_entries.begin(), {message, 0, 0});
    Tally(message, 1);
    FixEnd();
}

size_t CMidiTrack::FindIndexByTick(std::int32_t tick, bool after) const
{
    if (m_entries.size() < 2)
        return 0;
    const auto first = m_entries.begin();
    const auto end = m_entries.end() - 1;
    if (tick < 0)
        return static_cast<size_t>(end - first);
    // Ticks never decrease before the End of Track, so the first entry at or after the tick (after
    // it, with the flag) is found by bisection.
    const auto found = after
        ? std::upper_bound(first, end, tick, [](std::int32_t t, const TrackEntry& entry) { return t < entry.tick; })
        : std::lower_bound(first, end, tick, [](const TrackEntry& entry, std::int32_t t) { return entry.tick < t; });
    return static_cast<size_t>(found - first);
}

size_t CMidiTrack::InsertAtTick(std::int32_t tick, CMidiMessage* message, bool after)
{
    CheckInsertion(message);
    if (tick < 0)
        throw std::invalid_argument("negative tick");
    const size_t index = FindIndexByTick(tick, after);
    const std::int32_t previousTick = index == 0 ? 0 : m_entries[index - 1].tick;
    m_entries.reserve(m_entries.size() + 1);
    m_entries[index].delta = m_entries[index].tick - tick;
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(index), {message, tick - previousTick, tick});
    Tally(message, 1);
    FixEnd();
    return index;
}

bool CMidiTrack::IsRemovable(const CMidiMessage* message, bool force)
{
    if (force)
        return true;
    const CChannelMessage* channel = AsChannelMessage(message);
    return !(channel && (channel->IsNoteOn() || channel->IsNoteOff()));
}

void CMidiTrack::Remove(size_t index, bool force)
{
    if (index + 1 >= m_entries.size() || !IsRemovable(m_entries[index].message, force))
        return;
    m_entries[index + 1].delta = SaturatedSum(m_entries[index + 1].delta, m_entries[index].delta);
    Tally(m_entries[index].message, -1);
    std::destroy_at(m_entries[index].message);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    FixEnd();
}

void CMidiTrack::RemoveEach(const std::function<bool(const CMidiMessage&)>& matches)
{
    if (m_entries.size() < 2)
        return;
    const size_t end = m_entries.size() - 1;
    // Walking down from the last event, kept entries are packed into [kept, end) just below the End
    // of Track; entries below the one visited are still in place.
    size_t kept = end;
    for (size_t index = end; index-- > 0;) {
        const TrackEntry entry = m_entries[index];
        if (!matches(*entry.message) || !IsRemovable(entry.message, false)) {
            m_entries[--kept] = entry;
            continue;
        }
        TrackEntry& next = m_entries[kept];
        next.delta = SaturatedSum(next.delta, entry.delta);
        Tally(entry.message, -1);
        std::destroy_at(entry.message);
        // FixEnd as after a single Remove, while the track holds at least two entries.
        if (index > 0 || kept < end) {
            m_entries[end].tick = kept < end ? m_entries[end - 1].tick : m_entries[index - 1].tick;
            m_entries[end].delta = 0;
        }
    }
    m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(kept));
}

void CMidiTrack::AdjustDelta(size_t index, std::int32_t ticks)
{
    if (index >= m_entries.size())
        throw std::runtime_error("Index into track out of range.");
    if (std::int64_t(m_entries[index].delta) + ticks >= 0)
        m_entries[index].delta = SaturatedSum(m_entries[index].delta, ticks);
}

void CMidiTrack::FixEnd()
{
    const size_t count = m_entries.size();
    if (count < 2)
        return;
    m_entries[count - 1].tick = m_entries[count - 2].tick;
    m_entries[count - 1].delta = 0;
}

bool CMidiTrack::IsConductorOnly()
{
    if (m_entries.empty())
        return false;
    for (const TrackEntry& entry : m_entries) {
        if (IsChannelStatus(entry.message->StatusByte()))
            return false;
    }
    if (IsMetaOfType(m_entries.back().message, kMetaEndOfTrack)) {
        m_entries.back().delta = 0;
        m_entries.back().tick = 0;
    }
    return true;
}

std::int32_t CMidiTrack::Channel()
{
    for (const TrackEntry& entry : m_entries) {
        const CChannelMessage* channel = AsChannelMessage(entry.message);
        if (channel && (channel->IsNoteOn() || channel->Command() == 0xC0)) {
            m_channel = channel->Channel();
            return m_channel;
        }
    }
    return -1;
}

bool CMidiTrack::NoteRange(int& lowest, int& highest) const
{
    lowest = 127;
    highest = 0;
    bool found = false;
    for (const TrackEntry& entry : m_entries) {
        const CChannelMessage* channel = AsChannelMessage(entry.message);
        if (!IsNoteMessage(channel))
            continue;
        lowest = std::min<int>(lowest, channel->Data1());
        highest = std::max<int>(highest, channel->Data1());
        found = true;
    }
    return found;
}

bool CMidiTrack::Transpose(int semitones)
{
    if (semitones < -127 || semitones > 127)
        throw std::invalid_argument("transposition out of range");
    if (Channel() == 9) {
        m_transposition = 0;
        return false;
    }
    const int wanted = semitones - m_transposition;
    int lowest = 0;
    int highest = 0;
    if (wanted == 0 || !NoteRange(lowest, highest))
        return false;
    int applied = wanted;
    if (highest + wanted > 127)
        applied = 127 - highest;
    if (lowest + wanted < 0)
        applied = -lowest;
    for (const TrackEntry& entry : m_entries) {
        CChannelMessage* channel = AsChannelMessage(entry.message);
        if (IsNoteMessage(channel))
            channel->SetData1(static_cast<std::uint8_t>(channel->Data1() + applied));
    }
    m_transposition += applied;
    return true;
}

void CMidiTrack::ClearEvents()
{
    for (const TrackEntry& entry : m_entries)
        std::destroy_at(entry.message);
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_tempoEvents = 0;
    m_lyricEvents = 0;
    m_textEvents = 0;
}

void CMidiTrack::SetName(std::u16string_view name)
{
    const std::string bytes = m_owner.CodePage().FromWide(name);
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    CMessageArena& arena = m_owner.Messages();
    const auto named = std::find_if(m_entries.begin(), m_entries.end(),
        [](const TrackEntry& entry) { return IsMetaOfType(entry.message, kMetaTrackName); });
    if (named != m_entries.end())
        AsMetaMessage(named->message)->SetData(arena, data);
    else
        InsertFront(
            arena.New<CMetaMessage>(arena, kMetaTrackName, data.data(), static_cast<std::int32_t>(data.size())));
    m_name = name;
}

} // namespace linlangok
