#pragma once

#include "core/catalog/PendingCounts.h"
#include "core/catalog/SharedCatalog.h"

#include <functional>
#include <memory>

namespace linlangok {

// The UI thread's store of a room of a venue. A play counted or a score made is kept in the pending counts, which
// the catalogue service sends when it can, so that counting never waits for the server; the rest
// goes to the shared catalogue on a connection opened when first needed (and again after a
// failure), each call bounded in time by that store.
class CRoomCatalogStore final : public ICatalogStore {
public:
    // The pending counts outlive the store.
    CRoomCatalogStore(std::function<std::unique_ptr<ISharedCatalogStore>()> connect, CPendingCounts& pending);

    std::vector<std::filesystem::path> Folders() override;
    void AddFolder(const std::filesystem::path& folder) override;
    void RemoveFolder(const std::filesystem::path& folder) override;
    std::vector<CatalogSong> LoadSongs() override;
    std::int64_t LoadedRevision() const override { return m_loadedRevision; }
    std::vector<SongFile> LoadUnreadable() override;
    void Apply(CatalogChanges& changes) override;
    // Raises when the play could not be kept in the file; it is kept in memory still.
    void CountSung(std::int64_t id) override;
    // Kept in the pending counts likewise; raises when it could not be, and it is lost.
    void KeepBestScore(std::int64_t id, std::int32_t score) override;

private:
    // The connection; a failed call drops it, so that the next one connects anew.
    template <typename Call> auto OnServer(Call call) -> decltype(call(std::declval<ISharedCatalogStore&>()));

    std::function<std::unique_ptr<ISharedCatalogStore>()> m_connect;
    CPendingCounts& m_pending;
    std::unique_ptr<ISharedCatalogStore> m_store;
    std::int64_t m_loadedRevision = 0;
};

} // namespace linlangok
