#include "core/catalog/PendingCounts.h"

#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "core/catalog/SharedCatalog.h"

#include <algorithm>
#include <fstream>
#include <random>

namespace linlangok {
namespace {

// Days of plays of a venue's room, and a bound on what is read.
constexpr std::uint64_t kLargestFile = 16 * 1024 * 1024;
constexpr size_t kPlayNameDigits = 32;

bool IsPlayName(std::string_view name)
{
    return !name.empty() && name.size() <= kPlayNameDigits && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

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

std::optional<std::vector<PendingPlay>> CPendingCounts::Read() const
{
    const FileContent content = ReadRegularFile(m_file, kLargestFile);
    if (content.result != EFileRead::Done && content.result != EFileRead::Missing)
        return std::nullopt;
    std::vector<PendingPlay> plays;
    std::string_view text = content.bytes;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        const size_t space = std::min(line.find(' '), line.size());
        const std::optional<std::int64_t> id = ParseNumber<std::int64_t>(line.substr(0, space));
        const std::string_view after = space < line.size() ? line.substr(space + 1) : std::string_view();
        PendingPlay play {id.value_or(0), std::nullopt, {}};
        bool good = id && *id > 0;
        if (after.starts_with('#')) {
            play.play = after.substr(1);
            good = good && IsPlayName(play.play);
        } else if (space < line.size()) {
            play.score = ParseNumber<std::int32_t>(after);
            good = good && play.score && *play.score >= 0 && *play.score <= 100;
        }
        if (good)
            plays.push_back(std::move(play));
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
    for (const PendingPlay& play : plays) {
        text += std::to_string(play.id);
        if (play.score)
            text += ' ' + std::to_string(*play.score);
        else if (!play.play.empty())
            text += " #" + play.play;
        text += '\n';
    }
    return SaveFile(m_file, text);
}

bool CPendingCounts::Add(std::int64_t id, std::optional<std::int32_t> score)
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    if (!lock)
        return false;
    std::optional<std::vector<PendingPlay>> plays = Read();
    if (!plays)
        return false;
    plays->push_back({id, score, score ? std::string() : NewPlayName()});
    return Write(*plays);
}

std::vector<PendingPlay> CPendingCounts::Pending() const
{
    const std::unique_ptr<IFileLock> lock = LockFile(".lock", true);
    return Read().value_or(std::vector<PendingPlay>());
}

void SendPendingCounts(CPendingCounts& pending, ISharedCatalogStore& store)
{
    const std::unique_ptr<IFileLock> sending = pending.LockFile(".sending", false);
    if (!sending)
        return;
    const std::vector<PendingPlay> plays = pending.Pending();
    size_t sent = 0;
    // Only the sender takes from the start, so the first plays are still those sent.
    const auto forgetSent = [&pending, &sent] {
        const std::unique_ptr<IFileLock> lock = pending.LockFile(".lock", true);
        // Unread, the file stays: the plays sent again are known by their names.
        if (std::optional<std::vector<PendingPlay>> kept = pending.Read()) {
            kept->erase(kept->begin(), kept->begin() + static_cast<std::ptrdiff_t>(std::min(sent, kept->size())));
            pending.Write(*kept);
        }
    };
    try {
        for (; sent < plays.size(); ++sent) {
            const PendingPlay& play = plays[sent];
            if (play.score)
                store.KeepBestScore(play.id, *play.score);
            else // a play of an earlier file, without a name, is named now
                store.CountPlay(play.id, play.play.empty() ? NewPlayName() : play.play);
        }
    } catch (...) {
        forgetSent();
        throw;
    }
    if (sent > 0)
        forgetSent();
}

std::string NewPlayName()
{
    std::random_device random;
    std::string name;
    while (name.size() < kPlayNameDigits) {
        std::uint32_t bits = random();
        for (int digit = 0; digit < 8; ++digit, bits >>= 4)
            name += "0123456789abcdef"[bits & 0xF];
    }
    return name;
}

} // namespace linlangok
