// A venue's room's own files on arbitrary bytes: the cache of the catalogue's index and the plays
// waiting for the server. No crash, no allocation beyond the input's size; a cache that reads builds
// an index that finds every song and saves back to what was read; the plays read are kept when one
// is added, which gets a name.
#include "core/catalog/CatalogCache.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/PendingCounts.h"
#include "fuzz/InputFiles.h"
#include "tests/support/GrantedFileLocks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class CPlainFolding final : public linlangok::ITextFolding {
public:
    std::u16string Fold(std::u16string_view text) override { return std::u16string(text); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace linlangok;
    static const CFuzzInputFiles files;
    static CPlainFolding folding;
    static test::CGrantedFileLocks locks;
    const std::filesystem::path& input = files.Write(data, size);
    if (const std::optional<CatalogSnapshot> snapshot = LoadCatalogCache(input)) {
        CCatalogIndex index(folding);
        index.Build(snapshot->songs, snapshot->revision);
        index.Search(u"a", {}, 10);
        for (const CatalogSong& song : snapshot->songs)
            if (!index.Find(song.id))
                std::abort();
        const std::filesystem::path again = input.parent_path() / "again";
        const std::optional<CatalogSnapshot> saved
            = SaveCatalogCache(again, *snapshot) ? LoadCatalogCache(again) : std::nullopt;
        if (!saved || saved->revision != snapshot->revision || saved->songs != snapshot->songs)
            std::abort();
    }
    CPendingCounts pending(input, locks);
    const std::vector<PendingPlay> plays = pending.Pending();
    if (plays.size() > size / 2 + 1 || !pending.Add(1))
        std::abort();
    const std::vector<PendingPlay> added = pending.Pending();
    if (added.size() != plays.size() + 1 || !std::equal(plays.begin(), plays.end(), added.begin())
        || added.back().play.size() != 32)
        std::abort();
    return 0;
}
