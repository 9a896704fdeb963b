#include "platform/database/CatalogSelection.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/catalog/CatalogCache.h"
#include "platform/database/PostgresCatalogStore.h"
#include "platform/database/SqliteCatalogStore.h"

#include <cstdlib>
#include <stdexcept>

namespace linlangok {

CCatalogSelection::CCatalogSelection(const std::filesystem::path& programFolder, std::string_view remembered)
    : m_programFolder(programFolder)
{
    const char* variable = std::getenv("LINLANGOK_CATALOG");
    if (variable && *variable) {
        if (!IsPostgresConnection(variable))
            throw std::runtime_error(Utf16ToUtf8(Formatted(
                Tr("CCatalogSelection", "LINLANGOK_CATALOG 应为 PostgreSQL 的连接串（postgresql://…），而不是“%1”。"),
                {Utf8ToUtf16(variable)})));
        m_connection = variable;
    } else if (!remembered.empty()) {
        if (!IsPostgresConnection(remembered))
            throw std::runtime_error(
                Utf16ToUtf8(Formatted(Tr("CCatalogSelection", "所记的歌库服务器应为 PostgreSQL 的连接串，而不是“%1”。"),
                    {Utf8ToUtf16(MaskedConnection(remembered))})));
        m_connection = remembered;
    }
}

std::unique_ptr<ICatalogStore> CCatalogSelection::Open(std::u16string* warning) const
{
    if (IsShared())
        return Connect();
    auto store = std::make_unique<CSqliteCatalogStore>(m_programFolder / kCatalogFileName);
    if (warning)
        *warning = store->SetAsideWarning();
    return store;
}

std::unique_ptr<ISharedCatalogStore> CCatalogSelection::Connect(std::stop_token stop) const
{
    return std::make_unique<CPostgresCatalogStore>(m_connection, stop);
}

SharedCatalogParts CCatalogSelection::Shared(CPendingCounts& pending) const
{
    if (!IsShared())
        return {};
    return {[connection = m_connection](std::stop_token stop) -> std::unique_ptr<ISharedCatalogStore> {
                return std::make_unique<CPostgresCatalogStore>(connection, stop);
            },
        m_programFolder / kCatalogCacheFileName, &pending};
}

} // namespace linlangok
