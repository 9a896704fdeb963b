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

void CCatalogIndex::Build(std::vector<CatalogSong> songs)
{
    auto contents = std::make_shared<Contents>();
    contents->songs = std::move(songs);
    contents->normalized.reserve(contents->songs.size());
    m_timesSung.clear();
    m_timesSung.reserve(contents->songs.size());
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
    const std::vector<CatalogSong>& songs = m_contents->songs;
    const std::vector<Normalized>& normalized = m_contents->normalized;
    std::vector<SearchResult> results;
    auto consider = [&](std::uint32_t i) {
        const std::string& format = songs[i].format;
        const bool formatShown = filter.format.empty() || format == filter.format
            || (filter.format == kVideoFormats && IsVideoFileName(u"." + Utf8ToUtf16(format)));
        if ((!singer.empty() && normalized[i].singer != singer) || !formatShown)
            return;
        if (query.empty()) {
            results.push_back({&songs[i], {ESearchRank::Substring, ESearchWhy::Text}});
            return;
        }
        const std::optional<SearchMatch> match = MatchSong(
            query, normalized[i].title, normalized[i].singer, songs[i].titleReadings, songs[i].singerReadings);
        if (match)
            results.push_back({&songs[i], *match});
    };
    if (query.empty()) {
        for (std::uint32_t i = 0; i < songs.size(); ++i)
            consider(i);
    } else {
        for (const std::uint32_t i : Candidates(query))
            consider(i);
    }
    const auto timesSung
        = [&](const SearchResult& result) { return m_timesSung[static_cast<size_t>(result.song - songs.data())]; };
    const auto better = [&timesSung](const SearchResult& a, const SearchResult& b) {
        if (a.match.rank != b.match.rank)
            return a.match.rank < b.match.rank;
        if (timesSung(a) != timesSung(b))
            return timesSung(a) > timesSung(b);
        if (a.song->title != b.song->title)
            return a.song->title < b.song->title;
        return a.song->id < b.song->id;
    };
    const size_t kept = std::min(limit, results.size());
    std::partial_sort(results.begin(), results.begin() + static_cast<ptrdiff_t>(kept), results.end(), better);
    results.resize(kept);
    return results;
}

const CatalogSong* CCatalogIndex::Find(std::int64_t id) const
{
    const auto found = m_contents->byId.find(id);
    return found == m_contents->byId.end() ? nullptr : &m_contents->songs[found->second];
}

std::int32_t CCatalogIndex::TimesSung(std::int64_t id) const
{
    const auto found = m_contents->byId.find(id);
    return found == m_contents->byId.end() ? 0 : m_timesSung[found->second];
}

void CCatalogIndex::CountSung(std::int64_t id)
{
    const auto found = m_contents->byId.find(id);
    if (found != m_contents->byId.end())
        ++m_timesSung[found->second];
}

} // namespace linlangok
