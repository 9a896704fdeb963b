#pragma once

#include "core/catalog/CatalogSong.h"
#include "core/catalog/SharedCatalog.h"
#include "core/catalog/TextReadings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Finding songs by what a KTV user types: pinyin initials ("yldbwdx"), full pinyin with or
// without spaces, or any part of the title or singer, in simplified or traditional characters.
namespace linlangok {

// The text as searched: folded (see ITextFolding), without spaces, punctuation and symbols.
std::u16string NormalizeForSearch(std::u16string_view text, ITextFolding& folding);

// The readings of a folded text in the form CatalogSong keeps them: one token per Han character
// (its readings separated by "/", every reading IPinyin gives) and per run of Latin letters and
// digits (in lower case), tokens separated by spaces; other characters are left out.
std::string ComposeReadings(std::u16string_view foldedText, IPinyin& pinyin);

// How a query matched, best first.
enum class ESearchRank : std::uint8_t {
    Exact, // the whole title or singer is the query: its text, its full pinyin or its initials
    Prefix, // the title's or singer's text or pinyin starts with it
    Initials, // the initials of the title or singer start with it
    Substring, // any part of the text, of the pinyin from a syllable on, or of the initials
};

// Which form of the song the match was found in.
enum class ESearchWhy : std::uint8_t { Text, Pinyin, Initials };
std::string_view SearchWhyName(ESearchWhy why); // "text", "pinyin", "initials"

struct SearchMatch {
    ESearchRank rank;
    ESearchWhy why;
};

// The best match of a normalized, non-empty query with a song's normalized title and singer and
// their readings; nothing when it does not match.
std::optional<SearchMatch> MatchSong(std::u16string_view query, std::u16string_view title, std::u16string_view singer,
    std::string_view titleReadings, std::string_view singerReadings);

// The search filter's format of every video song.
inline constexpr std::string_view kVideoFormats = "video";

struct SearchFilter {
    std::u16string singer; // only this singer's songs (compared normalized); empty: all
    std::string format; // only songs of this format ("mid", "mp3" …, kVideoFormats); empty: all
};

struct SearchResult {
    const CatalogSong* song; // owned by the index, valid while it or a copy of it lives
    SearchMatch match;
};

// The songs of the catalogue in memory with an index of every character pair of their
// normalized texts and readings (initials and the pairs across syllables included), so that a
// query of any length looks only at the songs holding all of its pairs (its characters for a
// one-character query). Built on one thread and then searched from any number of threads. A copy
// is cheap: it shares the songs and their index, which never change after Build, and has counts
// of plays of its own, so that counting one makes a new index without touching one in use.
class CCatalogIndex {
public:
    // The folding must outlive the index and its copies.
    explicit CCatalogIndex(ITextFolding& folding);

    // The revision of a shared catalogue the songs show (see ICatalogStore::LoadedRevision).
    void Build(std::vector<CatalogSong> songs, std::int64_t revision = 0);
    std::int64_t Revision() const { return m_revision; }

    // A copy with the delta applied: songs added, changed or removed since the revision. A few are
    // kept beside the songs as built and searched one by one; when they grow many, the copy is
    // built anew. A song's times sung and best score are the more of those here and in the delta.
    std::shared_ptr<CCatalogIndex> Applied(const CatalogDelta& delta) const;
    // Raises each song's times sung and best score to those given, where they are more; true when
    // any was.
    bool RaiseCounts(const std::vector<SongCount>& counts);

    // The songs matching the query under the filter, ranked: by match rank, then the more sung
    // first (TimesSung), then by title. An empty query matches every song (rank Substring, why
    // Text). At most limit results.
    std::vector<SearchResult> Search(std::u16string_view query, const SearchFilter& filter, size_t limit) const;

    size_t Size() const;
    // The songs as built, without a delta applied since: their timesSung is the count stored then.
    const std::vector<CatalogSong>& Songs() const { return m_contents->songs; }
    // Every song, a delta's included, with its times sung as the ranking counts them and its best score.
    std::vector<CatalogSong> AllSongs() const;
    const CatalogSong* Find(std::int64_t id) const;
    // The song of the file with the identity; null when none.
    const CatalogSong* FindByIdentity(const SongIdentity& identity) const;
    // The song's times sung as the ranking counts them: stored, and counted since; 0 when the
    // song is not in the index.
    std::int32_t TimesSung(std::int64_t id) const;
    // Counts a play of the song for the ranking, in this index alone.
    void CountSung(std::int64_t id);
    // The best score of the song in the venue: stored, or kept since; 0 when none.
    std::int32_t BestScore(std::int64_t id) const;
    // Raises the song's best score to the score, in this index alone.
    void KeepBestScore(std::int64_t id, std::int32_t score);

private:
    struct Normalized {
        std::u16string title;
        std::u16string singer;
    };
    // Song positions, ascending, under each character (key c) and each pair (key c1 << 16 | c2,
    // c2 never 0).
    using Postings = std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>;
    struct Contents {
        std::vector<CatalogSong> songs;
        std::vector<Normalized> normalized;
        std::unordered_map<std::int64_t, std::uint32_t> byId;
        Postings postings;
    };

    // The songs of deltas applied since Build, by id, and the built songs they hide (changed or
    // removed since), by position.
    struct Changes {
        std::vector<CatalogSong> songs;
        std::vector<Normalized> normalized;
        std::unordered_map<std::int64_t, std::uint32_t> byId;
        std::vector<bool> hidden;
        size_t hiddenCount = 0;
    };

    // The song's position: among the built songs, then after them among the changes.
    std::optional<size_t> Position(std::int64_t id) const;
    static void AddPairs(Postings& postings, std::uint32_t song, std::u16string_view text);
    static void AddReadingPairs(Postings& postings, std::uint32_t song, std::string_view readings);
    static void AddKey(Postings& postings, std::uint32_t key, std::uint32_t song);
    std::vector<std::uint32_t> Candidates(std::u16string_view query) const;

    ITextFolding& m_folding;
    std::shared_ptr<const Contents> m_contents;
    std::shared_ptr<const Changes> m_changes; // null when none
    std::vector<std::int32_t> m_timesSung; // by song position
    std::vector<std::int32_t> m_bestScores; // by song position
    std::int64_t m_revision = 0;
};

} // namespace linlangok
