#include "core/scoring/MidiMelody.h"

#include "midi/MidiMessage.h"

#include <array>

namespace linlangok {

std::optional<ReferenceMelody> MidiReferenceMelody(const CMidiSong& song, std::vector<double> lineStarts)
{
    const std::optional<std::uint8_t> channel = song.MelodyChannel();
    if (!channel)
        return std::nullopt;
    std::vector<MelodyNote> notes;
    for (size_t index = 0; index < song.TrackCount(); ++index) {
        constexpr std::int32_t kSilent = -1;
        std::array<std::int32_t, 128> startTicks;
        startTicks.fill(kSilent);
        for (const TrackEntry& entry : song.Track(index).Entries()) {
            const CChannelMessage* message = AsChannelMessage(entry.message);
            if (!message || message->Channel() != *channel || !(message->IsNoteOn() || message->IsNoteOff()))
                continue;
            std::int32_t& start = startTicks[message->Data1() & 0x7F];
            // A note struck again while it sounds ends there and starts anew.
            if (start != kSilent)
                notes.push_back(
                    {song.TicksToSeconds(start), song.TicksToSeconds(entry.tick), double(message->Data1())});
            start = message->IsNoteOn() ? entry.tick : kSilent;
        }
    }
    notes = MonophonicNotes(std::move(notes));
    if (notes.empty())
        return std::nullopt;
    ReferenceMelody melody {EMelodySource::Midi, std::move(notes), {}};
    melody.lines = MelodyLines(melody.notes, std::move(lineStarts));
    return melody;
}

} // namespace linlangok
