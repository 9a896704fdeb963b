#include "core/catalog/SongQueue.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace linlangok {
namespace {

constexpr std::string_view kHeader = "LinlangOK queue 1";

std::string Field(std::u16string_view text)
{
    std::string utf8 = Utf16ToUtf8(text);
    std::replace_if(
        utf8.begin(), utf8.end(),
        [](char character) { return character == '\t' || character == '\n' || character == '\r'; }, ' ');
    return utf8;
}

// A path as the queue file holds it: as song lists hold it, and as its file URI when a tab or a
// line end in its name would split its line.
std::string StoredPath(const std::filesystem::path& path)
{
    const std::string& bytes = path.native();
    if (bytes.find_first_of("\t\n\r") != std::string::npos)
        return FileUriOfPath(path);
    return Utf16ToUtf8(PathToStoredText(PathToUtf16(path)));
}

std::vector<std::string_view> Split(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t end; (end = line.find(separator, start)) != std::string_view::npos; start = end + 1)
        fields.push_back(line.substr(start, end - start));
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

std::optional<std::uint64_t> CSongQueue::Add(QueueEntry entry)
{
    if (IsFull())
        return std::nullopt;
    entry.placedByHand = false;
    entry.ticket = ++m_lastTicket;
    m_entries.push_back(std::move(entry));
    Rotate();
    if (Serialize().size() > kMaximumSongQueueBytes) {
        Remove(*Find(m_lastTicket));
        return std::nullopt;
    }
    return m_lastTicket;
}

std::optional<size_t> CSongQueue::Find(std::uint64_t ticket) const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].ticket == ticket)
            return i;
    }
    return std::nullopt;
}

void CSongQueue::Prioritize(size_t index)
{
    Move(index, 0);
}

void CSongQueue::Remove(size_t index)
{
    if (index >= m_entries.size())
        return;
    m_entries.erase(m_entries.begin() + static_cast<ptrdiff_t>(index));
    Rotate();
}

void CSongQueue::Move(size_t from, size_t to)
{
    if (from >= m_entries.size())
        return;
    to = std::min(to, m_entries.size() - 1);
    QueueEntry entry = std::move(m_entries[from]);
    entry.placedByHand = true;
    m_entries.erase(m_entries.begin() + static_cast<ptrdiff_t>(from));
    m_entries.insert(m_entries.begin() + static_cast<ptrdiff_t>(to), std::move(entry));
    Rotate();
}

std::optional<QueueEntry> CSongQueue::Next()
{
    m_current.reset();
    if (m_entries.empty())
        return std::nullopt;
    m_current = std::move(m_entries.front());
    m_current->placedByHand = false;
    m_entries.erase(m_entries.begin());
    Rotate();
    return m_current;
}

void CSongQueue::Clear()
{
    m_entries.clear();
    m_current.reset();
}

void CSongQueue::Merge(CSongQueue fromFile)
{
    const auto same = [](const QueueEntry& a, const QueueEntry& b) {
        return a.songId == b.songId && a.path == b.path && a.performer == b.performer && a.title == b.title
            && a.singer == b.singer && a.placedByHand == b.placedByHand;
    };
    std::vector<bool> taken(m_entries.size());
    const auto adopt = [&](QueueEntry& entry) {
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (!taken[i] && same(m_entries[i], entry)) {
                taken[i] = true;
                entry.ticket = m_entries[i].ticket;
                entry.guest = m_entries[i].guest;
                entry.guestAddress = m_entries[i].guestAddress;
                return;
            }
        }
        entry.ticket = ++m_lastTicket;
    };
    for (QueueEntry& entry : fromFile.m_entries)
        adopt(entry);
    if (fromFile.m_current && m_current && same(*m_current, *fromFile.m_current)) {
        fromFile.m_current->ticket = m_current->ticket;
        fromFile.m_current->guest = m_current->guest;
        fromFile.m_current->guestAddress = m_current->guestAddress;
    } else if (fromFile.m_current) {
        fromFile.m_current->ticket = ++m_lastTicket;
    }
    m_entries = std::move(fromFile.m_entries);
    m_current = std::move(fromFile.m_current);
}

void CSongQueue::Rotate()
{
    std::map<std::u16string, size_t> sung;
    if (m_current)
        sung[m_current->performer] = 1;
    std::vector<size_t> rounds(m_entries.size());
    std::vector<size_t> slots;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        rounds[i] = sung[m_entries[i].performer]++;
        if (!m_entries[i].placedByHand)
            slots.push_back(i);
    }
    std::vector<size_t> order = slots;
    std::stable_sort(order.begin(), order.end(), [&rounds](size_t a, size_t b) { return rounds[a] < rounds[b]; });
    std::vector<QueueEntry> flowing;
    flowing.reserve(order.size());
    for (const size_t i : order)
        flowing.push_back(std::move(m_entries[i]));
    for (size_t i = 0; i < slots.size(); ++i)
        m_entries[slots[i]] = std::move(flowing[i]);
}

std::string CSongQueue::Serialize() const
{
    std::string text(kHeader);
    text += '\n';
    auto write = [&text](char kind, const QueueEntry& entry) {
        text += kind;
        text += '\t' + std::to_string(entry.songId) + '\t' + Field(entry.performer) + '\t' + Field(entry.title) + '\t'
            + Field(entry.singer) + '\t' + StoredPath(entry.path) + '\n';
    };
    if (m_current)
        write('C', *m_current);
    for (const QueueEntry& entry : m_entries)
        write(entry.placedByHand ? 'P' : 'Q', entry);
    return text;
}

std::optional<CSongQueue> CSongQueue::Parse(std::string_view text)
{
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.empty() || lines.front() != kHeader || !lines.back().empty() || lines.size() > kMaximumQueuedSongs + 3)
        return std::nullopt;
    CSongQueue queue;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::vector<std::string_view> fields = Split(lines[i], '\t');
        if (fields.size() != 6 || fields[0].size() != 1 || fields[5].empty() || !IsValidUtf8(lines[i]))
            return std::nullopt;
        QueueEntry entry;
        std::istringstream id {std::string(fields[1])};
        if (!(id >> entry.songId) || !id.eof())
            return std::nullopt;
        entry.performer = Utf8ToUtf16(fields[2]);
        entry.title = Utf8ToUtf16(fields[3]);
        entry.singer = Utf8ToUtf16(fields[4]);
        entry.path = Utf16ToPath(StoredTextToPath(Utf8ToUtf16(fields[5])));
        entry.ticket = ++queue.m_lastTicket;
        switch (fields[0][0]) {
        case 'C':
            if (queue.m_current || !queue.m_entries.empty())
                return std::nullopt;
            queue.m_current = std::move(entry);
            break;
        case 'P':
        case 'Q':
            entry.placedByHand = fields[0][0] == 'P';
            queue.m_entries.push_back(std::move(entry));
            break;
        default:
            return std::nullopt;
        }
    }
    return queue;
}

CSongQueue LoadSongQueue(const std::filesystem::path& file, std::u16string& warning, std::string& text)
{
    FileContent content = ReadRegularFile(file, kMaximumSongQueueBytes);
    text.clear();
    if (content.result == EFileRead::Missing)
        return {};
    if (content.result == EFileRead::Done) {
        if (std::optional<CSongQueue> queue = CSongQueue::Parse(content.bytes)) {
            text = std::move(content.bytes);
            return std::move(*queue);
        }
    }
    if (const std::optional<std::filesystem::path> aside = SetFileAside(file))
        warning = Formatted(
            Tr("SongQueue", "已点歌曲文件无法读取，已另存为 %1，已点歌曲从空开始。"), {PathToUtf16(aside->filename())});
    else
        warning = Tr("SongQueue", "已点歌曲文件无法读取，也无法改名，已点歌曲从空开始。");
    return {};
}

bool SaveSongQueue(const std::filesystem::path& file, const CSongQueue& queue)
{
    return SaveFile(file, queue.Serialize());
}

} // namespace linlangok
