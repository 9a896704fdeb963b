// Song text extraction: the title texts of track 0, the lyric syllables of each track with their
// header lines, and the choice of the lyric track. Lyrics come from lyric events, or from text
// events in a song that follows the .kar convention instead.

#include "common/Text.h"
#include "common/Translation.h"
#include "midi/LyricTrackView.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {
namespace {

constexpr std::u16string_view kLineEnds = u"\r\n";
constexpr std::u16string_view kLineEndsAndSpaces = u"\r\n ";

// Header syllables of all lyric tracks together: as every lyric track carries the header, a file with
// many of them gets fewer info lines in each (at least one).
constexpr size_t kHeaderSyllableBudget = 250000;

constexpr std::int32_t kPercussionChannel = 9;

// Calls visit(meta) for every meta event of the type in the track, in order, until it returns false.
template <typename Visit> void ForEachMeta(const CMidiTrack& track, std::int32_t type, Visit visit)
{
    for (const TrackEntry& entry : track.Entries()) {
        if (IsMetaOfType(entry.message, type) && !visit(*AsMetaMessage(entry.message)))
            return;
    }
}

// The .kar marks are ASCII and stand first, where every code page of the songs has single bytes,
// so they are read from the data: a Shift-JIS "\\" would decode as a yen sign.
std::uint8_t FirstByte(const CMetaMessage& meta)
{
    return meta.Length() > 0 ? meta.Data()[0] : 0;
}

bool IsKaraokeTag(const CMetaMessage& meta)
{
    return FirstByte(meta) == '@';
}

bool IsKaraokeMarked(const CMetaMessage& meta)
{
    const std::uint8_t first = FirstByte(meta);
    return first == '@' || first == '/' || first == '\\';
}

struct KaraokeTagKind {
    std::uint8_t tag; // the byte after the "@"
    const char* line; // the header line, with the value as %1
};

// The tags the convention names, in the order the header shows them: title and artist first.
constexpr KaraokeTagKind kKaraokeTagKinds[]
    = {{'T', "%1"}, {'I', "%1"}, {'L', LINLANGOK_TR_NOOP("CMidiSong", "%1: 语言")},
        {'K', LINLANGOK_TR_NOOP("CMidiSong", "%1: 版本")}, {'V', LINLANGOK_TR_NOOP("CMidiSong", "%1: 版本")}};

} // namespace

CMidiSong::KaraokeText CMidiSong::FindKaraokeText() const
{
    KaraokeText found;
    if (std::any_of(m_tracks.begin(), m_tracks.end(), [](const auto& track) { return track->LyricEvents() > 0; }))
        return found;
    size_t mostSyllables = 0;
    for (const auto& track : m_tracks) {
        if (track->TextEvents() == 0)
            continue;
        bool marked = false;
        size_t syllables = 0;
        ForEachMeta(*track, kMetaText, [&](const CMetaMessage& meta) {
            marked = marked || IsKaraokeMarked(meta);
            syllables += IsKaraokeTag(meta) ? 0 : 1;
            return true;
        });
        found.used = found.used || marked;
        if (marked && syllables > mostSyllables) {
            found.lyricTrack = track.get();
            mostSyllables = syllables;
        }
    }
    return found;
}

void CMidiSong::TakeKaraokeTags(bool used)
{
    m_karaokeTags.clear();
    m_karaokeTitles.clear();
    if (!used)
        return;
    const auto full = [this] { return m_karaokeTags.size() >= kMaximumHeaderInfoLines; };
    for (const KaraokeTagKind& kind : kKaraokeTagKinds) {
        for (const auto& track : m_tracks) {
            if (track->TextEvents() == 0 || full())
                continue;
            ForEachMeta(*track, kMetaText, [&](const CMetaMessage& meta) {
                if (!IsKaraokeTag(meta) || meta.Length() < 2 || meta.Data()[1] != kind.tag)
                    return true;
                const std::u16string text = meta.TextEventText(m_codePage);
                const std::u16string value = std::u16string(
                    Trimmed(std::u16string_view(text).substr(std::min<size_t>(text.size(), 2)), kLineEndsAndSpaces));
                if (value.empty())
                    return true;
                if (kind.tag == 'T')
                    m_karaokeTitles.push_back(value);
                m_karaokeTags.push_back(Formatted(Tr("CMidiSong", kind.line), {value}));
                return !full();
            });
        }
    }
}

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
    const KaraokeText karaoke = FindKaraokeText();
    int found = 0;
    ForEachMeta(track, kMetaText, [&](const CMetaMessage& meta) {
        if (karaoke.used && (IsKaraokeTag(meta) || &track == karaoke.lyricTrack))
            return true;
        if (found == 0)
            m_composer = meta.TextEventText(m_codePage);
        else if (found == 1)
            m_lyricist = meta.TextEventText(m_codePage);
        else
            m_infoText += std::u16string(Trimmed(meta.TextEventText(m_codePage), kLineEnds)) + u" ";
        ++found;
        return true;
    });
}

std::int32_t CMidiSong::ComposeHeader(CMidiTrack& track)
{
    std::int32_t lines = 0;
    std::vector<LyricSyllable>& syllables = track.Syllables();
    const auto addLine = [&](std::u16string_view text) {
        syllables.push_back({0, 0.0f, std::u16string(text)});
        syllables.resize(syllables.size() + kSyllablesPerLine - 1);
        ++lines;
    };
    // The song holds the untitled and welcome texts as the data it saves; the header shows them
    // in the user's language.
    if (!m_title.empty())
        addLine(m_title == kUntitled ? Tr("CMidiSong", "未命名") : m_title);
    if (!m_subtitle.empty())
        addLine(m_subtitle);
    m_composer = std::u16string(Trimmed(m_composer, kLineEnds));
    if (!m_composer.empty())
        addLine(Formatted(Tr("CMidiSong", "%1: 作曲"), {m_composer}));
    m_lyricist = std::u16string(Trimmed(m_lyricist, kLineEndsAndSpaces));
    if (!m_lyricist.empty())
        addLine(Formatted(Tr("CMidiSong", "%1: 作词"), {m_lyricist}));
    m_notice = std::u16string(Trimmed(m_notice, kLineEnds));
    if (!m_notice.empty())
        addLine(m_notice);
    m_infoText = std::u16string(Trimmed(m_infoText, kLineEnds));
    if (!m_infoText.empty()) {
        const std::u16string info
            = m_infoText == kWelcomeLine ? Formatted(Tr("CMidiSong", "欢迎光临 %1"), {kMakerWebAddress}) : m_infoText;
        std::u16string_view rest = info;
        for (size_t piece = 0; piece < m_infoLineLimit; ++piece) {
            const size_t lineFeed = rest.find(u'\n');
            addLine(rest.substr(0, lineFeed));
            if (lineFeed == std::u16string_view::npos)
                break;
            rest.remove_prefix(lineFeed + 1);
        }
    }
    for (const std::u16string& tag : m_karaokeTags)
        addLine(tag);
    addLine(u" ");
    return lines;
}

void CMidiSong::BuildLyrics()
{
    const auto lyricTracks = static_cast<size_t>(
        std::count_if(m_tracks.begin(), m_tracks.end(), [](const auto& track) { return track->LyricEvents() > 0; }));
    m_infoLineLimit = std::clamp<size_t>(
        kHeaderSyllableBudget / kSyllablesPerLine / std::max<size_t>(lyricTracks, 1), 1, kMaximumHeaderInfoLines);
    const KaraokeText karaoke = FindKaraokeText();
    TakeKaraokeTags(karaoke.used);
    for (const auto& track : m_tracks) {
        if (track.get() == karaoke.lyricTrack)
            track->BuildKaraokeLyrics();
        else
            track->BuildLyrics();
    }
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
            m_syllables.push_back({entry.tick, time, std::u16string(Trimmed(text, kLineEnds))});
    }
}

void CMidiTrack::BuildKaraokeLyrics()
{
    m_syllables.clear();
    bool first = true;
    for (const TrackEntry& entry : m_entries) {
        if (!IsMetaOfType(entry.message, kMetaText))
            continue;
        const CMetaMessage& meta = *AsMetaMessage(entry.message);
        std::u16string text = meta.TextEventText(m_owner.CodePage());
        if (text.empty() || IsKaraokeTag(meta))
            continue;
        if (first) {
            m_headerLines = m_owner.ComposeHeader(*this);
            first = false;
        }
        ELyricBreak breakBefore = ELyricBreak::None;
        if (FirstByte(meta) == '/')
            breakBefore = ELyricBreak::Line;
        else if (FirstByte(meta) == '\\')
            breakBefore = ELyricBreak::Paragraph;
        if (breakBefore != ELyricBreak::None)
            text.erase(0, 1);
        const auto time = static_cast<float>(m_owner.TicksToSeconds(entry.tick));
        m_syllables.push_back({entry.tick, time, std::u16string(Trimmed(text, kLineEnds)), breakBefore});
    }
}

void CMidiSong::ChooseLyricTrack()
{
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
}

std::optional<std::uint8_t> CMidiSong::MelodyChannel() const
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
    std::array<std::vector<std::int32_t>, 16> noteTicks;
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
        return static_cast<std::uint8_t>(std::find_if(noteTicks.begin(), noteTicks.end(), [](const auto& ticks) {
            return !ticks.empty();
        }) - noteTicks.begin());
    }
    if (channelsWithNotes() == 0) {
        for (const auto& track : m_tracks)
            collect(*track);
    }
    // The melody is the channel whose notes start with the most syllables, give or take a 64th note.
    const std::int32_t tolerance = std::max(m_division / 16, 0);
    size_t mostSung = 0;
    std::optional<std::uint8_t> melody;
    for (size_t channel = 0; channel < noteTicks.size(); ++channel) {
        std::vector<std::int32_t>& ticks = noteTicks[channel];
        std::sort(ticks.begin(), ticks.end());
        const auto sung = static_cast<size_t>(std::count_if(syllables.begin() + static_cast<std::ptrdiff_t>(firstSung),
            syllables.end(), [&ticks, tolerance](const LyricSyllable& syllable) {
                const auto note = std::lower_bound(ticks.begin(), ticks.end(), syllable.tick - tolerance);
                return note != ticks.end() && *note <= syllable.tick + tolerance;
            }));
        if (sung > mostSung) {
            mostSung = sung;
            melody = static_cast<std::uint8_t>(channel);
        }
    }
    return melody;
}

} // namespace linlangok
