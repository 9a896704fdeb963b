#include "midi/MidiSong.h"

#include "common/CodePage.h"
#include "common/ErrorLog.h"
#include "common/Text.h"
#include "midi/MidiFileReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace linlangok {
namespace {

constexpr std::int32_t kDefaultTempo = 500000;
constexpr std::int32_t kLargestTempo = 0xFFFFFF;

// The meta events whose texts the song shows.
bool IsSongText(std::int32_t type)
{
    return type == kMetaText || type == kMetaNotice || type == kMetaTrackName || type == kMetaLyric;
}

bool IsSetTempo(const CMidiMessage& message)
{
    return IsMetaOfType(&message, kMetaSetTempo);
}

CMetaMessage* NewSetTempo(CMessageArena& arena, std::int32_t tempo)
{
    const std::uint8_t data[3] = {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
        static_cast<std::uint8_t>(tempo)};
    return arena.New<CMetaMessage>(arena, kMetaSetTempo, data, 3);
}

CMetaMessage* NewTextMeta(CMessageArena& arena, const ICodePage& codePage, std::int32_t type, std::u16string_view text)
{
    const std::string bytes = codePage.FromWide(text);
    return arena.New<CMetaMessage>(
        arena, type, reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
}

// Orders the items by key as a selection sort with swaps does: position i takes the first item
// with the least key from i on, and the item it replaces moves to where that one was. A swap can
// carry an item past others with the same key, so items with equal keys need not keep their order.
// A tournament tree over the positions not yet placed finds each least key in O(log n).
template <typename Item, typename KeyOf> void SelectionSort(std::vector<Item>& items, KeyOf keyOf)
{
    const size_t count = items.size();
    if (count < 2)
        return;
    constexpr size_t kNone = SIZE_MAX;
    size_t leaves = 1;
    while (leaves < count)
        leaves *= 2;
    std::vector<std::int64_t> keys(count);
    // winner[node]: the position of the first least key below the node, or kNone.
    std::vector<size_t> winner(2 * leaves, kNone);
    for (size_t position = 0; position < count; ++position) {
        keys[position] = keyOf(items[position]);
        winner[leaves + position] = position;
    }
    const auto replay = [&](size_t node) {
        const size_t left = winner[2 * node];
        const size_t right = winner[2 * node + 1];
        // The left side holds the lower positions, so it wins a tie.
        winner[node] = left == kNone || (right != kNone && keys[right] < keys[left]) ? right : left;
    };
    for (size_t node = leaves - 1; node >= 1; --node)
        replay(node);
    const auto replayAbove = [&](size_t position) {
        for (size_t node = (leaves + position) / 2; node >= 1; node /= 2)
            replay(node);
    };
    for (size_t position = 0; position + 1 < count; ++position) {
        const size_t least = winner[1];
        winner[leaves + position] = kNone;
        if (least != position) {
            std::swap(items[position], items[least]);
            keys[least] = keys[position];
            replayAbove(least);
        }
        replayAbove(position);
    }
}

} // namespace

CMidiSong::CMidiSong(const ICodePage& codePage)
    : m_legacyCodePage(codePage)
    , m_codePage(codePage)
    , m_tempoMap(*this)
{
    ResetText();
}

CMidiSong::~CMidiSong()
{
    Clear();
}

SongLoad CMidiSong::Load(const std::filesystem::path& path, const ITextEncodingDetector& detector)
{
    std::vector<MessageRequest> messages;
    const bool read = CMidiFileReader(*this, messages).Read(path);
    return Prepare(read, std::move(messages), detector);
}

SongLoad CMidiSong::Load(std::span<const std::uint8_t> bytes, const ITextEncodingDetector& detector)
{
    std::vector<MessageRequest> messages;
    const bool read = CMidiFileReader(*this, messages).Read(bytes);
    return Prepare(read, std::move(messages), detector);
}

SongLoad CMidiSong::Prepare(bool read, std::vector<MessageRequest> messages, const ITextEncodingDetector& detector)
{
    SongLoad load {false, std::move(messages)};
    if (!read)
        return load;
    try {
        ChooseCodePage(detector);
        PostProcess();
        BuildTempoMap();
        BuildLyrics();
        ChooseLyricTrack();
    } catch (...) {
        // Memory exhausted while preparing the song: it is not fit to play.
        LogError("preparing the MIDI song");
        load.messages.push_back({CaptionWarning(), ReadErrorMessage()});
        return load;
    }
    load.loaded = true;
    return load;
}

void CMidiSong::ChooseCodePage(const ITextEncodingDetector& detector)
{
    std::string sample;
    for (const auto& track : m_tracks) {
        for (const TrackEntry& entry : track->Entries()) {
            const CMetaMessage* meta = AsMetaMessage(entry.message);
            if (!meta || !IsSongText(meta->Type()))
                continue;
            const std::span<const std::uint8_t> data = meta->Data();
            const auto text = std::string_view(reinterpret_cast<const char*>(data.data()), data.size());
            AppendToEncodingSample(sample, text.substr(0, text.find('\0')));
        }
    }
    const ICodePage* detected = detector.Detect(sample);
    m_codePage = detected ? *detected : m_legacyCodePage;
}

void CMidiSong::PostProcess()
{
    if (m_format == 0)
        ConvertFormat0();
    const bool addConductor = !Track(0).IsConductorOnly();
    if (addConductor) {
        auto conductor = std::make_unique<CMidiTrack>(*this);
        ResetText();
        const std::array<std::pair<std::int32_t, const std::u16string*>, 6> texts
            = {{{kMetaText, &m_infoText}, {kMetaNotice, &m_notice}, {kMetaText, &m_lyricist}, {kMetaText, &m_composer},
                {kMetaTrackName, &m_subtitle}, {kMetaTrackName, &m_title}}};
        for (const auto& [type, text] : texts)
            conductor->InsertFront(NewTextMeta(m_messages, m_codePage, type, *text));
        InsertTrack(0, std::move(conductor));
    }
    ResetText();
    if (addConductor) {
        // The texts are those the conductor was given; read back they would lose the characters
        // the code page lacks. As TakeTexts joins them, the info text ends in a space.
        m_infoText += u' ';
    } else {
        TakeNotice(Track(0));
        TakeNames(Track(0));
        TakeTexts(Track(0));
    }
    NormalizeTempo();
    // The song plays at the default tempo until its first Set Tempo. Without one at tick 0 the tempo
    // map would count the time before it as 0 s (no Set Tempo at all: a length of 0, so the song
    // would stop at once). The file's own tempo at tick 0, merged above, wins over the default.
    const auto firstTempoTick = [this] {
        const TempoReference& first = m_tempoReferences.front();
        return Track(first.track).Entry(first.entry).tick;
    };
    if (m_tempoReferences.empty() || firstTempoTick() > 0) {
        SetTempo(0, kDefaultTempo, 0);
        CollectTempoReferences();
    }
}

void CMidiSong::Clear()
{
    m_lyricTrack = nullptr;
    m_tempoReferences.clear();
    m_tracks.clear();
    m_messages.Release();
    m_tempoMap.Build();
}

CMidiTrack& CMidiSong::Track(size_t index)
{
    if (index >= m_tracks.size())
        throw std::invalid_argument("track index out of range");
    return *m_tracks[index];
}

const CMidiTrack& CMidiSong::Track(size_t index) const
{
    return const_cast<CMidiSong*>(this)->Track(index);
}

CMidiTrack& CMidiSong::AddTrack(std::unique_ptr<CMidiTrack> track)
{
    return InsertTrack(m_tracks.size(), std::move(track));
}

CMidiTrack& CMidiSong::InsertTrack(size_t index, std::unique_ptr<CMidiTrack> track)
{
    if (!track || &track->Owner() != this || index > m_tracks.size())
        throw std::invalid_argument("track does not belong to this song");
    return **m_tracks.insert(m_tracks.begin() + static_cast<std::ptrdiff_t>(index), std::move(track));
}

void CMidiSong::SetDivision(std::int32_t division)
{
    if (division < 1 || division > 0x7FFF)
        throw std::invalid_argument("division out of range");
    m_division = division;
}

void CMidiSong::ResetText()
{
    m_title = kUntitled;
    m_subtitle.clear();
    m_composer.clear();
    m_lyricist.clear();
    m_notice.clear();
    m_infoText = kWelcomeLine;
    m_karaokeTags.clear();
    m_karaokeTitles.clear();
}

void CMidiSong::CollectTempoReferences()
{
    m_tempoReferences.clear();
    for (size_t track = 0; track < m_tracks.size(); ++track) {
        if (m_tracks[track]->TempoEvents() == 0)
            continue;
        const std::vector<TrackEntry>& entries = m_tracks[track]->Entries();
        for (size_t entry = 0; entry < entries.size(); ++entry) {
            if (IsSetTempo(*entries[entry].message))
                m_tempoReferences.push_back({static_cast<std::uint32_t>(track), static_cast<std::uint32_t>(entry)});
        }
    }
}

void CMidiSong::NormalizeTempo()
{
    CollectTempoReferences();
    if (std::all_of(m_tempoReferences.begin(), m_tempoReferences.end(),
            [](const TempoReference& reference) { return reference.track == 0; }))
        return;
    const auto entryOf = [this](const TempoReference& reference) -> const TrackEntry& {
        return m_tracks[reference.track]->Entries()[reference.entry];
    };
    // Of several Set Tempo events at one tick the first in this order counts; the selection sort's
    // order, not the file's, is the one songs have always been played with.
    SelectionSort(m_tempoReferences, [&](const TempoReference& reference) { return entryOf(reference).tick; });
    std::vector<PendingTempo>& pending = m_tempoMap.PendingTempos();
    pending.clear();
    for (const TempoReference& reference : m_tempoReferences) {
        const TrackEntry& entry = entryOf(reference);
        const std::int32_t tempo = AsMetaMessage(entry.message)->TempoOf();
        if ((!pending.empty() && pending.back().tick == entry.tick) || tempo < 1)
            continue;
        pending.push_back({entry.tick, tempo});
    }
    for (const auto& track : m_tracks)
        track->RemoveEach(IsSetTempo);
    InsertPendingTempos();
    CollectTempoReferences();
}

void CMidiSong::InsertPendingTempos()
{
    // The same as SetTempo for each pending tempo in order, in one pass: track 0 holds no Set Tempo
    // any more and the pending ticks ascend, so each goes after the entries at or before its tick.
    std::vector<PendingTempo>& pending = m_tempoMap.PendingTempos();
    if (pending.empty())
        return;
    CMidiTrack& track = Track(0);
    track.CheckNotCleared();
    std::vector<TrackEntry> merged;
    merged.reserve(track.m_entries.size() + pending.size());
    size_t next = 0;
    std::int32_t previousTick = 0;
    const auto insertPendingBefore = [&](std::int64_t tick) {
        bool inserted = false;
        for (; next < pending.size() && pending[next].tick < tick; ++next) {
            merged.push_back(
                {NewSetTempo(m_messages, pending[next].tempo), pending[next].tick - previousTick, pending[next].tick});
            previousTick = pending[next].tick;
            inserted = true;
        }
        return inserted;
    };
    const size_t end = track.m_entries.size() - 1;
    for (size_t index = 0; index < end; ++index) {
        TrackEntry entry = track.m_entries[index];
        if (insertPendingBefore(entry.tick))
            entry.delta = entry.tick - previousTick;
        merged.push_back(entry);
        previousTick = entry.tick;
    }
    insertPendingBefore(std::int64_t(INT32_MAX) + 1);
    merged.push_back(track.m_entries[end]);
    track.m_entries.swap(merged);
    track.m_tempoEvents += pending.size();
    track.FixEnd();
}

void CMidiSong::SetTempo(std::int32_t tick, std::int32_t tempo, size_t trackIndex)
{
    if (tempo == 0)
        return;
    if (tempo < 0 || tempo > kLargestTempo)
        throw std::invalid_argument("tempo out of range");
    CMidiTrack& track = Track(trackIndex);
    const std::vector<TrackEntry>& entries = track.Entries();
    for (size_t index = track.FindIndexByTick(tick, false); index < entries.size() && entries[index].tick == tick;
         ++index) {
        if (IsSetTempo(*entries[index].message)) {
            AsMetaMessage(entries[index].message)->SetTempoValue(tempo);
            return;
        }
    }
    track.InsertAtTick(tick, NewSetTempo(m_messages, tempo), true);
}

void CMidiSong::BuildTempoMap()
{
    m_tempoMap.Build();
}

std::int32_t CMidiSong::LastTick() const
{
    std::int32_t last = 0;
    for (const auto& track : m_tracks) {
        if (track->Count() >= 2)
            last = std::max(last, track->Entries()[track->Count() - 2].tick);
    }
    return last;
}

size_t CMidiSong::ConvertFormat0()
{
    if (m_format != 0 || m_tracks.size() != 1 || m_tracks[0]->Count() == 0)
        return 0;
    m_format = 1;
    std::vector<TrackEntry>& events = m_tracks[0]->m_entries;
    const size_t end = events.size() - 1;
    // Destination 0 takes meta and system exclusive events, 1 + k the events of channel k.
    const auto destinationOf = [](const TrackEntry& entry) {
        const CChannelMessage* channel = AsChannelMessage(entry.message);
        return channel ? 1 + channel->Channel() : 0;
    };
    std::array<size_t, 17> counts {};
    for (size_t index = 0; index < end; ++index)
        ++counts[destinationOf(events[index])];

    // Every allocation happens before the events move, so a failure leaves the song as it was.
    std::array<std::unique_ptr<CMidiTrack>, 17> destinations;
    std::vector<std::unique_ptr<CMidiTrack>> tracks;
    for (size_t destination = 0; destination < destinations.size(); ++destination) {
        if (destination > 0 && counts[destination] < 2)
            continue;
        auto track = std::make_unique<CMidiTrack>(*this);
        track->Reserve(counts[destination] + 2);
        if (destination > 0)
            track->SetName(u"F0Track" + Utf8ToUtf16(std::to_string(destination)));
        destinations[destination] = std::move(track);
    }
    tracks.reserve(destinations.size());

    for (size_t index = 0; index < end; ++index) {
        const TrackEntry& entry = events[index];
        CMidiTrack* destination = destinations[destinationOf(entry)].get();
        if (!destination) {
            std::destroy_at(entry.message);
            continue;
        }
        std::vector<TrackEntry>& entries = destination->m_entries;
        entries.insert(entries.end() - 1, entry);
        destination->Tally(entry.message, 1);
    }
    events.erase(events.begin(), events.end() - 1);

    for (auto& destination : destinations) {
        if (!destination)
            continue;
        std::int32_t previousTick = 0;
        std::vector<TrackEntry>& entries = destination->m_entries;
        for (size_t index = 0; index + 1 < entries.size(); ++index) {
            entries[index].delta = entries[index].tick - previousTick;
            previousTick = entries[index].tick;
        }
        destination->FixEnd();
        tracks.push_back(std::move(destination));
    }
    m_tracks.swap(tracks);
    return m_tracks.size();
}

} // namespace linlangok
