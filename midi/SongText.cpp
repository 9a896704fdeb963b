// Song text extraction: the title texts of track 0, the lyric syllables of each track with their
// header lines, and the choice of the lyric track.

#include "common/Text.h"
#include "midi/LyricTrackView.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <string>

namespace linlangok {
namespace {

constexpr std::u16string_view kLineEnds = u"\r\n";
constexpr std::u16string_view kLineEndsAndSpaces = u"\r\n ";

// Header syllables of all lyric tracks together: as every lyric track carries the header, a file with
// many of them gets fewer info lines in each (at least one).
constexpr size_t kHeaderSyllableBudget = 250000;

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
    if (lyricTrack && m_lyricTrackView)
        m_lyricTrackView->SetLyricTrack(lyricTrack);
}

} // namespace linlangok
