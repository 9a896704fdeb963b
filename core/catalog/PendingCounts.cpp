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

std::vector<PendingPlay> CPendingCounts::Read() const
{
    const FileContent content = ReadRegularFile(m_file, kLargestFile);
    std::vector<PendingPlay> plays;
    std::string_view text = content.bytes;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        const size_t space = std::min(line.find(' '), line.size());
        const std::optional<std::int64_t> id = ParseNumber<std::int64_t>(line.substr(0, space));
        std::optional<std::int32_t> score;
        if (space < line.size())
            score = ParseNumber<std::int32_t>(line.substr(space + 1));
        const bool scoreGood = space == line.size() || (score && *score >= 0 && *score <= 100);
        if (id && *id > 0 && scoreGood)
            plays.push_back({*id, score});
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return plays;
}

bool CPendingCounts::Write(const std::vector<PendingPlay>& plays) const
{
    if (plays.empty()) {
        std::error_code error;
        std::filesystem::remove(m_file, error);
        return !error;
    }
    std::string text;
    for (const PendingPlay& play : plays)
        text += std::to_string(play.id) + (play.score ? ' ' + std::to_string(*play.score) : std::string()) + '\n';
    return SaveFile(m_file, text);
}

bool CPendingCounts::Add(std::int64_t id, std::optional<std::int32_t> score)
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    if (!lock)
        return false;
    std::vector<PendingPlay> plays = Read();
    plays.push_back({id, score});
    return Write(plays);
}

std::vector<PendingPlay> CPendingCounts::Pending() const
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    return Read();
}

void SendPendingCounts(CPendingCounts& pending, ICatalogStore& store)
{
    const std::unique_ptr<IFileLock> sending = pending.LockFile(".sending", false);
    if (!sending)
        return;
    const std::vector<PendingPlay> plays = pending.Pending();
    size_t sent = 0;
    // Only the sender takes from the start, so the first plays are still those sent.
    const auto forgetSent = [&pending, &sent] {
        const std::unique_ptr<IFileLock> lock = pending.LockFile(".lock", true);
        std::vector<PendingPlay> kept = pending.Read();
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(std::min(sent, kept.size())));
        pending.Write(kept);
    };
    try {
        for (; sent < plays.size(); ++sent) {
            if (plays[sent].score)
                store.KeepBestScore(plays[sent].id, *plays[sent].score);
            else
                store.CountSung(plays[sent].id);
        }
    } catch (...) {
        forgetSent();
        throw;
    }
    if (sent > 0)
        forgetSent();
}

} // namespace linlangok
