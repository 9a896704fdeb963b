#include "core/catalog/RoomCatalogStore.h"

#include "common/Translation.h"

#include <stdexcept>

namespace linlangok {

CRoomCatalogStore::CRoomCatalogStore(
    std::function<std::unique_ptr<ISharedCatalogStore>()> connect, CPendingCounts& pending)
    : m_connect(std::move(connect))
    , m_pending(pending)
{
}

template <typename Call>
auto CRoomCatalogStore::OnServer(Call call) -> decltype(call(std::declval<ISharedCatalogStore&>()))
{
    try {
        if (!m_store)
            m_store = m_connect();
        return call(*m_store);
    } catch (...) {
        m_store.reset();
        throw;
    }
}

std::vector<std::filesystem::path> CRoomCatalogStore::Folders()
{
    return OnServer([](ISharedCatalogStore& store) { return store.Folders(); });
}

void CRoomCatalogStore::AddFolder(const std::filesystem::path& folder)
{
    OnServer([&folder](ISharedCatalogStore& store) { store.AddFolder(folder); });
}

void CRoomCatalogStore::RemoveFolder(const std::filesystem::path& folder)
{
    OnServer([&folder](ISharedCatalogStore& store) { store.RemoveFolder(folder); });
}

std::vector<CatalogSong> CRoomCatalogStore::LoadSongs()
{
    return OnServer([this](ISharedCatalogStore& store) {
        std::vector<CatalogSong> songs = store.LoadSongs();
        m_loadedRevision = store.LoadedRevision();
        return songs;
    });
}

std::vector<SongFile> CRoomCatalogStore::LoadUnreadable()
{
    return OnServer([](ISharedCatalogStore& store) { return store.LoadUnreadable(); });
}

void CRoomCatalogStore::Apply(CatalogChanges& changes)
{
    OnServer([&changes](ISharedCatalogStore& store) { store.Apply(changes); });
}

void CRoomCatalogStore::CountSung(std::int64_t id)
{
    if (!m_pending.Add(id))
        throw std::runtime_error(
            TrUtf8("CRoomCatalogStore", "点唱次数无法存入文件，程序结束前连上歌库服务器时仍会送出。"));
}

void CRoomCatalogStore::KeepBestScore(std::int64_t id, std::int32_t score)
{
    if (!m_pending.Add(id, score))
        throw std::runtime_error(TrUtf8("CRoomCatalogStore", "得分无法存入文件，歌库服务器不会收到。"));
}

} // namespace linlangok
