#include "core/catalog/PendingCounts.h"

#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "core/catalog/CatalogStore.h"

#include <algorithm>
#include <fstream>

namespace linlangok {
namespace {

// Days of plays of a venue's room, and a bound on what is read.
constexpr std::uint64_t kLargestFile = 16 * 1024 * 1024;

} // namespace

CPendingCounts::CPendingCounts(std::filesystem::path file, IFileLocks& locks)
    : m_file(std::move(file))
    , m_locks(locks)
{
}

std::unique_ptr<IFileLock> CPendingCounts::LockFile(const char* suffix, bool wait) const
{
    std::filesystem::path lock = m_file;
    lock += suffix;
    std::ofstream(lock, std::ios::app).close();
    return wait ? m_locks.Lock(lock) : m_locks.TryLock(lock);
}

std::vector<std::int64_t> CPendingCounts::Read() const
{
    const FileContent content = ReadRegularFile(m_file, kLargestFile);
    std::vector<std::int64_t> ids;
    std::string_view text = content.bytes;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        if (const std::optional<std::int64_t> id = ParseNumber<std::int64_t>(text.substr(0, end)); id && *id > 0)
            ids.push_back(*id);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return ids;
}

bool CPendingCounts::Write(const std::vector<std::int64_t>& ids) const
{
    if (ids.empty()) {
        std::error_code error;
        std::filesystem::remove(m_file, error);
        return !error;
    }
    std::string text;
    for (const std::int64_t id : ids)
        text += std::to_string(id) + '\n';
    return SaveFile(m_file, text);
}

bool CPendingCounts::Add(std::int64_t id)
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    if (!lock)
        return false;
    std::vector<std::int64_t> ids = Read();
    ids.push_back(id);
    return Write(ids);
}

std::vector<std::int64_t> CPendingCounts::Pending() const
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    return Read();
}

void SendPendingCounts(CPendingCounts& pending, ICatalogStore& store)
{
    const std::unique_ptr<IFileLock> sending = pending.LockFile(".sending", false);
    if (!sending)
        return;
    const std::vector<std::int64_t> ids = pending.Pending();
    size_t sent = 0;
    // Only the sender takes from the start, so the first plays are still those sent.
    const auto forgetSent = [&pending, &sent] {
        const std::unique_ptr<IFileLock> lock = pending.LockFile(".lock", true);
        std::vector<std::int64_t> kept = pending.Read();
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(std::min(sent, kept.size())));
        pending.Write(kept);
    };
    try {
        for (; sent < ids.size(); ++sent)
            store.CountSung(ids[sent]);
    } catch (...) {
        forgetSent();
        throw;
    }
    if (sent > 0)
        forgetSent();
}

} // namespace linlangok
