#include "core/catalog/PendingCounts.h"

#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"

#include <algorithm>

namespace linlangok {
namespace {

// Days of plays of a venue's room, and a bound on what is read.
constexpr std::uint64_t kLargestFile = 16 * 1024 * 1024;

} // namespace

CPendingCounts::CPendingCounts(std::filesystem::path file)
    : m_file(std::move(file))
{
    const FileContent content = ReadRegularFile(m_file, kLargestFile);
    std::string_view text = content.bytes;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        if (const std::optional<std::int64_t> id = ParseNumber<std::int64_t>(text.substr(0, end)))
            if (*id > 0)
                m_ids.push_back(*id);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

bool CPendingCounts::Add(std::int64_t id)
{
    const std::lock_guard lock(m_lock);
    m_ids.push_back(id);
    return Save();
}

std::vector<std::int64_t> CPendingCounts::Pending() const
{
    const std::lock_guard lock(m_lock);
    return m_ids;
}

bool CPendingCounts::Sent(size_t count)
{
    const std::lock_guard lock(m_lock);
    m_ids.erase(m_ids.begin(), m_ids.begin() + static_cast<std::ptrdiff_t>(std::min(count, m_ids.size())));
    return Save();
}

bool CPendingCounts::Save()
{
    if (m_ids.empty()) {
        std::error_code error;
        std::filesystem::remove(m_file, error);
        return !error;
    }
    std::string text;
    for (const std::int64_t id : m_ids)
        text += std::to_string(id) + '\n';
    return SaveFile(m_file, text);
}

} // namespace linlangok
