#include "core/catalog/CatalogSearch.h"

#include "common/SongKind.h"
#include "common/Text.h"

#include <algorithm>
#include <array>

namespace linlangok {
namespace {

// Texts and queries are cut here: nobody types more, and the pinyin match stays cheap.
constexpr size_t kMaximumSearchedCharacters = 256;

bool IsAsciiAlphanumeric(char32_t character)
{
    return (character >= U'a' && character <= U'z') || (character >= U'A' && character <= U'Z')
        || (character >= U'0' && character <= U'9');
}

// Spaces, punctuation and symbols, which searches ignore.
bool IsIgnored(char32_t character)
{
    if (character < 0x80)
        return !IsAsciiAlphanumeric(character);
    return (character >= 0x80 && character <= 0xBF) || character == 0xD7 || character == 0xF7
        || (character >= 0x2000 && character <= 0x2BFF) || (character >= 0x3000 && character <= 0x303F)
        || character == 0x30FB || (character >= 0xFE30 && character <= 0xFE6F)
        || (character >= 0xFF00 && character <= 0xFF0F) || (character >= 0xFF1A && character <= 0xFF20);
}

// The tokens of a readings text, each a list of alternatives; a search reads many, so they are
// kept without allocating, the first kMaximumTokens of them.
class CReadings {
public:
    static constexpr size_t kMaximumTokens = 64;

    explicit CReadings(std::string_view readings)
    {
        size_t start = 0;
        while (start < readings.size() && m_size < kMaximumTokens) {
            size_t end = readings.find(' ', start);
            if (end == std::string_view::npos)
                end = readings.size();
            if (end > start)
                m_tokens[m_size++] = readings.substr(start, end - start);
            start = end + 1;
        }
    }

    size_t Size() const { return m_size; }

    template <typename Visit> bool AnyAlternative(size_t token, Visit visit) const
    {
        const std::string_view text = m_tokens[token];
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('/', start);
            if (end == std::string_view::npos)
                end = text.size();
            if (end > start && visit(text.substr(start, end - start)))
                return true;
            start = end + 1;
        }
        return false;
    }

    // Whether the query, from position pos on, reads as syllables from token on: whole syllables,
    // the last one possibly begun only. With whole, the last syllable ends the query and the text.
    bool MatchesPinyin(std::string_view query, size_t token, bool whole) const
    {
        if (query.empty())
            return !whole || token == m_size;
        if (token == m_size)
            return false;
        return AnyAlternative(token, [&](std::string_view syllable) {
            if (query.starts_with(syllable))
                return MatchesPinyin(query.substr(syllable.size()), token + 1, whole);
            return !whole && syllable.starts_with(query);
        });
    }

    bool MatchesInitials(std::string_view query, size_t token) const
    {
        if (token + query.size() > m_size)
            return false;
        for (size_t i = 0; i < query.size(); ++i)
            if (!AnyAlternative(token + i, [&](std::string_view syllable) { return syllable[0] == query[i]; }))
                return false;
        return true;
    }

private:
    std::array<std::string_view, kMaximumTokens> m_tokens;
    size_t m_size = 0;
};

void Improve(std::optional<SearchMatch>& best, ESearchRank rank, ESearchWhy why)
{
    if (!best || rank < best->rank || (rank == best->rank && why < best->why))
        best = SearchMatch {rank, why};
}

void MatchReadings(std::string_view query, std::string_view readingsText, std::optional<SearchMatch>& best)
{
    const CReadings readings(readingsText);
    if (readings.Size() == 0)
        return;
    if (readings.MatchesPinyin(query, 0, true))
        return Improve(best, ESearchRank::Exact, ESearchWhy::Pinyin);
    if (query.size() == readings.Size() && readings.MatchesInitials(query, 0))
        return Improve(best, ESearchRank::Exact, ESearchWhy::Initials);
    if (readings.MatchesPinyin(query, 0, false))
        return Improve(best, ESearchRank::Prefix, ESearchWhy::Pinyin);
    if (readings.MatchesInitials(query, 0))
        return Improve(best, ESearchRank::Initials, ESearchWhy::Initials);
    for (size_t token = 1; token < readings.Size(); ++token) {
        if (readings.MatchesPinyin(query, token, false))
            return Improve(best, ESearchRank::Substring, ESearchWhy::Pinyin);
        if (readings.MatchesInitials(query, token))
            return Improve(best, ESearchRank::Substring, ESearchWhy::Initials);
    }
}

} // namespace

std::u16string NormalizeForSearch(std::u16string_view text, ITextFolding& folding)
{
    const std::u16string folded = folding.Fold(text);
    std::u16string normalized;
    size_t characters = 0;
    for (size_t i = 0; i < folded.size() && characters < kMaximumSearchedCharacters;) {
        const char32_t character = NextCodePoint(folded, i);
        if (!IsIgnored(character)) {
            if (character >= 0x10000) {
                normalized += static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10));
                normalized += static_cast<char16_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
            } else {
                normalized += static_cast<char16_t>(character);
            }
            ++characters;
        }
    }
    return normalized;
}

std::string ComposeReadings(std::u16string_view foldedText, IPinyin& pinyin)
{
    std::string readings;
    bool inWord = false;
    auto startToken = [&readings]() {
        if (!readings.empty())
            readings += ' ';
    };
    for (size_t i = 0; i < foldedText.size();) {
        const char32_t character = NextCodePoint(foldedText, i);
        if (IsAsciiAlphanumeric(character)) {
            if (!inWord)
                startToken();
            inWord = true;
            readings += static_cast<char>(character >= U'A' && character <= U'Z' ? character - U'A' + U'a' : character);
            continue;
        }
        inWord = false;
        const std::vector<std::string> syllables = pinyin.Readings(character);
        if (syllables.empty())
            continue;
        startToken();
        for (size_t s = 0; s < syllables.size(); ++s)
            readings += (s ? "/" : "") + syllables[s];
    }
    return readings;
}

std::string_view SearchWhyName(ESearchWhy why)
{
    switch (why) {
    case ESearchWhy::Text:
        return "text";
    case ESearchWhy::Pinyin:
        return "pinyin";
    case ESearchWhy::Initials:
        return "initials";
    }
    return "text";
}

std::optional<SearchMatch> MatchSong(std::u16string_view query, std::u16string_view title, std::u16string_view singer,
    std::string_view titleReadings, std::string_view singerReadings)
{
    std::optional<SearchMatch> best;
    if (title == query || singer == query)
        return SearchMatch {ESearchRank::Exact, ESearchWhy::Text};
    if (title.starts_with(query) || singer.starts_with(query))
        Improve(best, ESearchRank::Prefix, ESearchWhy::Text);
    else if (title.find(query) != std::u16string_view::npos || singer.find(query) != std::u16string_view::npos)
        Improve(best, ESearchRank::Substring, ESearchWhy::Text);
    char ascii[kMaximumSearchedCharacters];
    if (query.size() > sizeof ascii)
        return best;
    for (size_t i = 0; i < query.size(); ++i) {
        const char16_t character = query[i];
        if (!IsAsciiAlphanumeric(character))
            return best;
        ascii[i] = static_cast<char>(character >= u'A' && character <= u'Z' ? character - u'A' + u'a' : character);
    }
    const std::string_view lower(ascii, query.size());
    MatchReadings(lower, titleReadings, best);
    MatchReadings(lower, singerReadings, best);
    return best;
}

CCatalogIndex::CCatalogIndex(ITextFolding& folding)
    : m_folding(folding)
    , m_contents(std::make_shared<Contents>())
{
}

void CCatalogIndex::AddKey(Postings& postings, std::uint32_t key, std::uint32_t song)
{
    std::vector<std::uint32_t>& songs = postings[key];
    if (songs.empty() || songs.back() != song)
        songs.push_back(song);
}

void CCatalogIndex::AddPairs(Postings& postings, std::uint32_t song, std::u16string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        AddKey(postings, text[i], song);
        if (i + 1 < text.size())
            AddKey(postings, static_cast<std::uint32_t>(text[i]) << 16 | text[i + 1], song);
    }
}

void CCatalogIndex::AddReadingPairs(Postings& postings, std::uint32_t song, std::string_view readingsText)
{
    const CReadings readings(readingsText);
    for (size_t token = 0; token < readings.Size(); ++token) {
        readings.AnyAlternative(token, [&](std::string_view syllable) {
            AddPairs(postings, song, Utf8ToUtf16(syllable));
            if (token + 1 < readings.Size()) {
                readings.AnyAlternative(token + 1, [&](std::string_view next) {
                    AddKey(postings,
                        static_cast<std::uint32_t>(syllable.back()) << 16 | static_cast<std::uint8_t>(next[0]), song);
                    AddKey(postings, static_cast<std::uint32_t>(syllable[0]) << 16 | static_cast<std::uint8_t>(next[0]),
                        song);
                    return false;
                });
            }
            return false;
        });
    }
}

void CCatalogIndex::Build(std::vector<CatalogSong> songs, std::int64_t revision)
{
    m_revision = revision;
    m_changes = nullptr;
    auto contents = std::make_shared<Contents>();
    contents->songs = std::move(songs);
    contents->normalized.reserve(contents->songs.size());
    m_timesSung.clear();
    m_timesSung.reserve(contents->songs.size());
    m_bestScores.clear();
    m_bestScores.reserve(contents->songs.size());
    for (std::uint32_t i = 0; i < contents->songs.size(); ++i) {
        const CatalogSong& song = contents->songs[i];
        const Normalized& normalized = contents->normalized.emplace_back(
            Normalized {NormalizeForSearch(song.title, m_folding), NormalizeForSearch(song.singer, m_folding)});
        contents->byId[song.id] = i;
        AddPairs(contents->postings, i, normalized.title);
        AddPairs(contents->postings, i, normalized.singer);
        AddReadingPairs(contents->postings, i, song.titleReadings);
        AddReadingPairs(contents->postings, i, song.singerReadings);
        m_timesSung.push_back(song.timesSung);
        m_bestScores.push_back(song.bestScore);
    }
    m_contents = std::move(contents);
}

std::vector<std::uint32_t> CCatalogIndex::Candidates(std::u16string_view query) const
{
    std::vector<const std::vector<std::uint32_t>*> lists;
    for (size_t i = 0; i < query.size(); ++i) {
        if (query.size() > 1 && i + 1 == query.size())
            break;
        const std::uint32_t key
            = query.size() == 1 ? query[0] : static_cast<std::uint32_t>(query[i]) << 16 | query[i + 1];
        const auto found = m_contents->postings.find(key);
        if (found == m_contents->postings.end())
            return {};
        lists.push_back(&found->second);
    }
    std::sort(lists.begin(), lists.end(), [](const auto* a, const auto* b) { return a->size() < b->size(); });
    std::vector<std::uint32_t> candidates = *lists.front();
    std::vector<std::uint32_t> kept;
    for (size_t i = 1; i < lists.size() && !candidates.empty(); ++i) {
        kept.clear();
        std::set_intersection(
            candidates.begin(), candidates.end(), lists[i]->begin(), lists[i]->end(), std::back_inserter(kept));
        candidates.swap(kept);
    }
    return candidates;
}

std::vector<SearchResult> CCatalogIndex::Search(
    std::u16string_view rawQuery, const SearchFilter& filter, size_t limit) const
{
    const std::u16string query = NormalizeForSearch(rawQuery, m_folding);
    const std::u16string singer = NormalizeForSearch(filter.singer, m_folding);
    struct Found {
        SearchResult result;
        std::int32_t timesSung;
    };
    std::vector<Found> found;
    auto consider = [&](const CatalogSong& song, const Normalized& normalized, size_t position) {
        const std::string& format = song.format;
        const bool formatShown = filter.format.empty() || format == filter.format
            || (filter.format == kVideoFormats && IsVideoFileName(u"." + Utf8ToUtf16(format)));
        if ((!singer.empty() && normalized.singer != singer) || !formatShown)
            return;
        if (query.empty()) {
            found.push_back({{&song, {ESearchRank::Substring, ESearchWhy::Text}}, m_timesSung[position]});
            return;
        }
        const std::optional<SearchMatch> match
            = MatchSong(query, normalized.title, normalized.singer, song.titleReadings, song.singerReadings);
        if (match)
            found.push_back({{&song, *match}, m_timesSung[position]});
    };
    const std::vector<CatalogSong>& songs = m_contents->songs;
    const auto considerBuilt = [&](std::uint32_t i) {
        if (!m_changes || !m_changes->hidden[i])
            consider(songs[i], m_contents->normalized[i], i);
    };
    if (query.empty()) {
        for (std::uint32_t i = 0; i < songs.size(); ++i)
            considerBuilt(i);
    } else {
        for (const std::uint32_t i : Candidates(query))
            considerBuilt(i);
    }
    if (m_changes)
        for (size_t i = 0; i < m_changes->songs.size(); ++i)
            consider(m_changes->songs[i], m_changes->normalized[i], songs.size() + i);
    const auto better = [](const Found& a, const Found& b) {
        if (a.result.match.rank != b.result.match.rank)
            return a.result.match.rank < b.result.match.rank;
        if (a.timesSung != b.timesSung)
            return a.timesSung > b.timesSung;
        if (a.result.song->title != b.result.song->title)
            return a.result.song->title < b.result.song->title;
        return a.result.song->id < b.result.song->id;
    };
    const size_t kept = std::min(limit, found.size());
    std::partial_sort(found.begin(), found.begin() + static_cast<ptrdiff_t>(kept), found.end(), better);
    std::vector<SearchResult> results;
    results.reserve(kept);
    for (size_t i = 0; i < kept; ++i)
        results.push_back(found[i].result);
    return results;
}

std::optional<size_t> CCatalogIndex::Position(std::int64_t id) const
{
    if (m_changes) {
        if (const auto changed = m_changes->byId.find(id); changed != m_changes->byId.end())
            return m_contents->songs.size() + changed->second;
    }
    const auto found = m_contents->byId.find(id);
    if (found == m_contents->byId.end() || (m_changes && m_changes->hidden[found->second]))
        return std::nullopt;
    return found->second;
}

size_t CCatalogIndex::Size() const
{
    return m_changes ? m_contents->songs.size() - m_changes->hiddenCount + m_changes->songs.size()
                     : m_contents->songs.size();
}

std::vector<CatalogSong> CCatalogIndex::AllSongs() const
{
    std::vector<CatalogSong> all;
    all.reserve(Size());
    const std::vector<CatalogSong>& songs = m_contents->songs;
    for (size_t i = 0; i < songs.size(); ++i) {
        if (m_changes && m_changes->hidden[i])
            continue;
        all.push_back(songs[i]);
        all.back().timesSung = m_timesSung[i];
        all.back().bestScore = m_bestScores[i];
    }
    if (m_changes) {
        for (size_t i = 0; i < m_changes->songs.size(); ++i) {
            all.push_back(m_changes->songs[i]);
            all.back().timesSung = m_timesSung[songs.size() + i];
            all.back().bestScore = m_bestScores[songs.size() + i];
        }
    }
    return all;
}

std::shared_ptr<CCatalogIndex> CCatalogIndex::Applied(const CatalogDelta& delta) const
{
    auto next = std::make_shared<CCatalogIndex>(*this);
    next->m_revision = delta.revision;
    // The counts and scores here of the songs the delta holds.
    std::unordered_map<std::int64_t, SongCount> counted;
    for (const CatalogSong& song : delta.songs)
        if (const std::optional<size_t> position = Position(song.id))
            counted[song.id] = {song.id, m_timesSung[*position], m_bestScores[*position]};
    const auto countOf = [&counted](const CatalogSong& song) {
        const auto found = counted.find(song.id);
        return found == counted.end() ? SongCount {song.id, song.timesSung, song.bestScore}
                                      : SongCount {song.id, std::max(song.timesSung, found->second.timesSung),
                                          std::max(song.bestScore, found->second.bestScore)};
    };
    std::unordered_map<std::int64_t, bool> gone; // removed, or replaced by the delta
    for (const std::int64_t id : delta.removed)
        gone[id] = true;
    for (const CatalogSong& song : delta.songs)
        gone[song.id] = true;
    const std::vector<CatalogSong>& built = m_contents->songs;
    auto changes = std::make_shared<Changes>();
    changes->hidden = m_changes ? m_changes->hidden : std::vector<bool>(built.size(), false);
    changes->hiddenCount = m_changes ? m_changes->hiddenCount : 0;
    for (const auto& [id, unused] : gone) {
        const auto found = m_contents->byId.find(id);
        if (found != m_contents->byId.end() && !changes->hidden[found->second]) {
            changes->hidden[found->second] = true;
            ++changes->hiddenCount;
        }
    }
    next->m_timesSung.assign(m_timesSung.begin(), m_timesSung.begin() + static_cast<ptrdiff_t>(built.size()));
    next->m_bestScores.assign(m_bestScores.begin(), m_bestScores.begin() + static_cast<ptrdiff_t>(built.size()));
    const auto keep = [&](const CatalogSong& song, const Normalized& normalized, const SongCount& count) {
        changes->byId[song.id] = static_cast<std::uint32_t>(changes->songs.size());
        changes->songs.push_back(song);
        changes->normalized.push_back(normalized);
        next->m_timesSung.push_back(count.timesSung);
        next->m_bestScores.push_back(count.bestScore);
    };
    if (m_changes)
        for (size_t i = 0; i < m_changes->songs.size(); ++i)
            if (!gone.contains(m_changes->songs[i].id))
                keep(m_changes->songs[i], m_changes->normalized[i],
                    {0, m_timesSung[built.size() + i], m_bestScores[built.size() + i]});
    for (const CatalogSong& song : delta.songs)
        keep(song, {NormalizeForSearch(song.title, m_folding), NormalizeForSearch(song.singer, m_folding)},
            countOf(song));
    next->m_changes = std::move(changes);
    // Songs beside the built ones are each matched in every search: past a few, a build is cheaper.
    if (next->m_changes->songs.size() + next->m_changes->hiddenCount > std::max<size_t>(2048, built.size() / 16))
        next->Build(next->AllSongs(), delta.revision);
    return next;
}

bool CCatalogIndex::RaiseCounts(const std::vector<SongCount>& counts)
{
    bool raised = false;
    for (const SongCount& count : counts) {
        const std::optional<size_t> position = Position(count.id);
        if (!position)
            continue;
        if (m_timesSung[*position] < count.timesSung) {
            m_timesSung[*position] = count.timesSung;
            raised = true;
        }
        if (m_bestScores[*position] < count.bestScore) {
            m_bestScores[*position] = count.bestScore;
            raised = true;
        }
    }
    return raised;
}

const CatalogSong* CCatalogIndex::Find(std::int64_t id) const
{
    const std::optional<size_t> position = Position(id);
    if (!position)
        return nullptr;
    const size_t built = m_contents->songs.size();
    return *position < built ? &m_contents->songs[*position] : &m_changes->songs[*position - built];
}

const CatalogSong* CCatalogIndex::FindByIdentity(const SongIdentity& identity) const
{
    const std::vector<CatalogSong>& songs = m_contents->songs;
    for (size_t i = 0; i < songs.size(); ++i)
        if (songs[i].identity == identity && !(m_changes && m_changes->hidden[i]))
            return &songs[i];
    if (m_changes)
        for (const CatalogSong& song : m_changes->songs)
            if (song.identity == identity)
                return &song;
    return nullptr;
}

std::int32_t CCatalogIndex::TimesSung(std::int64_t id) const
{
    const std::optional<size_t> position = Position(id);
    return position ? m_timesSung[*position] : 0;
}

void CCatalogIndex::CountSung(std::int64_t id)
{
    if (const std::optional<size_t> position = Position(id))
        ++m_timesSung[*position];
}

std::int32_t CCatalogIndex::BestScore(std::int64_t id) const
{
    const std::optional<size_t> position = Position(id);
    return position ? m_bestScores[*position] : 0;
}

void CCatalogIndex::KeepBestScore(std::int64_t id, std::int32_t score)
{
    if (const std::optional<size_t> position = Position(id))
        m_bestScores[*position] = std::max(m_bestScores[*position], score);
}

} // namespace linlangok
