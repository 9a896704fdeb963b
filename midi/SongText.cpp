// Song text extraction: the title texts of track 0, the lyric syllables of each track with their
// header lines, and the choice of the lyric track.

#include "common/Text.h"
#include "midi/LyricTrackView.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace linlangok {
namespace {

constexpr std::u16string_view kLineEnds = u"\r\n";
constexpr std::u16string_view kLineEndsAndSpaces = u"\r\n ";

// Header syllables of all lyric tracks together: as every lyric track carries the header, a file with
// many of them gets fewer info lines in each (at least one).
constexpr size_t kHeaderSyllableBudget = 250000;

constexpr int32_t kPercussionChannel = 9;

// Calls visit(meta) for every meta event of the type in the track, in order, until it returns false.
template <typename Visit> void ForEachMeta(const CMidiTrack& track, int32_t type, Visit visit)
{
    for (const TrackEntry& entry : track.Entries()) {
        if (IsMetaOfType(entry.message, type) && !visit(*AsMetaMessage(entry.message)))
            return;
    }
}

} // namespace

void CMidiSong::TakeNotice(const CMidiTrack& track)
{
    m_notice.clear();
    ForEachMeta(track, kMetaNotice, [this](const CMetaMessage& meta) {
        m_notice = meta.TextOfType(kMetaNotice, m_codePage);
        return false;
    });
}

void CMidiSong::TakeNames(const CMidiTrack& track)
{
    int found = 0;
    ForEachMeta(track, kMetaTrackName, [&](const CMetaMessage& meta) {
        (found == 0 ? m_title : m_subtitle) = meta.TrackNameText(m_codePage);
        return ++found < 2;
    });
}

void CMidiSong::TakeTexts(const CMidiTrack& track)
{
    m_infoText.clear();
    int found = 0;
    ForEachMeta(track, kMetaText, [&](const CMetaMessage& meta) {
        if (found == 0)
            m_text1 = meta.TextEventText(m_codePage);
        else if (found == 1)
            m_text2 = meta.TextEventText(m_codePage);
        else
            m_infoText += TrimBoth(meta.TextEventText(m_codePage), kLineEnds) + u" ";
        ++found;
        return true;
    });
}

int32_t CMidiSong::ComposeHeader(CMidiTrack& track)
{
    int32_t lines = 0;
    std::vector<LyricSyllable>& syllables = track.Syllables();
    const auto addLine = [&](std::u16string_view text) {
        syllables.push_back({0, 0.0f, std::u16string(text)});
        syllables.resize(syllables.size() + kSyllablesPerLine - 1);
        ++lines;
    };
    if (!m_title.empty())
        addLine(m_title);
    if (!m_subtitle.empty())
        addLine(m_subtitle);
    m_text1 = TrimBoth(m_text1, kLineEnds);
    if (!m_text1.empty())
        addLine(m_text1 + u": 作曲");
    m_text2 = TrimBoth(m_text2, kLineEndsAndSpaces);
    if (!m_text2.empty())
        addLine(m_text2 + u": 作词");
    m_notice = TrimBoth(m_notice, kLineEnds);
    if (!m_notice.empty())
        addLine(m_notice);
    m_infoText = TrimBoth(m_infoText, kLineEnds);
    if (!m_infoText.empty()) {
        std::u16string_view rest = m_infoText;
        for (size_t piece = 0; piece < m_infoLineLimit; ++piece) {
            const size_t lineFeed = rest.find(u'\n');
            addLine(rest.substr(0, lineFeed));
            if (lineFeed == std::u16string_view::npos)
                break;
            rest.remove_prefix(lineFeed + 1);
        }
    }
    addLine(u" ");
    return lines;
}

void CMidiSong::BuildLyrics()
{
    const auto lyricTracks = static_cast<size_t>(
        std::count_if(m_tracks.begin(), m_tracks.end(), [](const auto& track) { return track->LyricEvents() > 0; }));
    m_infoLineLimit = std::clamp<size_t>(
        kHeaderSyllableBudget / kSyllablesPerLine / std::max<size_t>(lyricTracks, 1), 1, kMaximumHeaderInfoLines);
    for (const auto& track : m_tracks)
        track->BuildLyrics();
}

void CMidiTrack::BuildLyrics()
{
    m_syllables.clear();
    if (m_lyricEvents == 0)
        return;
    bool first = true;
    for (const TrackEntry& entry : m_entries) {
        if (!IsMetaOfType(entry.message, kMetaLyric))
            continue;
        if (first) {
            m_headerLines = m_owner.ComposeHeader(*this);
            first = false;
        }
        const auto time = static_cast<float>(m_owner.TicksToSeconds(entry.tick));
        const std::u16string text = AsMetaMessage(entry.message)->LyricText(m_owner.CodePage());
        if (!text.empty())
            m_syllables.push_back({entry.tick, time, TrimBoth(text, kLineEnds)});
    }
}

void CMidiSong::PublishLyricTrack()
{
    if (m_lyricTrackView)
        m_lyricTrackView->SetLyricTrack(nullptr);
    CMidiTrack* lyricTrack = nullptr;
    size_t mostSyllables = 0;
    for (const auto& track : m_tracks) {
        if (track->Syllables().size() > mostSyllables) {
            lyricTrack = track.get();
            mostSyllables = track->Syllables().size();
        }
    }
    if (!lyricTrack && !m_tracks.empty()) {
        lyricTrack = m_tracks[0].get();
        lyricTrack->SetHeaderLines(ComposeHeader(*lyricTrack));
    }
    m_lyricTrack = lyricTrack;
    if (lyricTrack && m_lyricTrackView)
        m_lyricTrackView->SetLyricTrack(lyricTrack);
}

std::optional<uint8_t> CMidiSong::MelodyChannel() const
{
    if (!m_lyricTrack)
        return std::nullopt;
    const std::vector<LyricSyllable>& syllables = m_lyricTrack->Syllables();
    const auto firstSung
        = std::min(syllables.size(), static_cast<size_t>(m_lyricTrack->HeaderLines()) * kSyllablesPerLine);
    if (firstSung == syllables.size())
        return std::nullopt;
    // The note-on ticks of each channel of the lyric track, or of every track when it holds no
    // notes; the drums never sing.
    std::array<std::vector<int32_t>, 16> noteTicks;
    const auto collect = [&noteTicks](const CMidiTrack& track) {
        for (const TrackEntry& entry : track.Entries()) {
            const CChannelMessage* channel = AsChannelMessage(entry.message);
            if (channel && channel->IsNoteOn() && channel->Channel() != kPercussionChannel)
                noteTicks[channel->Channel()].push_back(entry.tick);
        }
    };
    const auto channelsWithNotes = [&noteTicks] {
        return std::count_if(noteTicks.begin(), noteTicks.end(), [](const auto& ticks) { return !ticks.empty(); });
    };
    collect(*m_lyricTrack);
    if (channelsWithNotes() == 1) {
        return static_cast<uint8_t>(std::find_if(noteTicks.begin(), noteTicks.end(), [](const auto& ticks) {
            return !ticks.empty();
        }) - noteTicks.begin());
    }
    if (channelsWithNotes() == 0) {
        for (const auto& track : m_tracks)
            collect(*track);
    }
    // The melody is the channel whose notes start with the most syllables, give or take a 64th note.
    const int32_t tolerance = std::max(m_division / 16, 0);
    size_t mostSung = 0;
    std::optional<uint8_t> melody;
    for (size_t channel = 0; channel < noteTicks.size(); ++channel) {
        std::vector<int32_t>& ticks = noteTicks[channel];
        std::sort(ticks.begin(), ticks.end());
        const auto sung = static_cast<size_t>(std::count_if(syllables.begin() + static_cast<std::ptrdiff_t>(firstSung),
            syllables.end(), [&ticks, tolerance](const LyricSyllable& syllable) {
                const auto note = std::lower_bound(ticks.begin(), ticks.end(), syllable.tick - tolerance);
                return note != ticks.end() && *note <= syllable.tick + tolerance;
            }));
        if (sung > mostSung) {
            mostSung = sung;
            melody = static_cast<uint8_t>(channel);
        }
    }
    return melody;
}

} // namespace linlangok
