#include "core/catalog/SongPicker.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <stdexcept>

namespace linlangok {

CSongPicker::CSongPicker(ICatalogStore& store, ISongStarter& starter, IUserPrompts& prompts, IFileLocks& locks,
    std::filesystem::path queueFile)
    : m_store(store)
    , m_starter(starter)
    , m_prompts(prompts)
    , m_locks(locks)
    , m_queueFile(std::move(queueFile))
{
    {
        const auto lock = m_locks.Lock(m_queueFile.parent_path());
        m_queue = LoadSongQueue(m_queueFile, m_warning, m_fileText);
    }
    if (!m_warning.empty())
        m_prompts.ShowError(CaptionWarning(), std::exchange(m_warning, {}));
}

size_t CSongPicker::AddChangedListener(std::function<void()> changed)
{
    m_changedListeners.emplace_back(++m_lastListener, std::move(changed));
    return m_lastListener;
}

void CSongPicker::RemoveChangedListener(size_t number)
{
    std::erase_if(m_changedListeners, [number](const auto& listener) { return listener.first == number; });
}

bool CSongPicker::Pick(
    const CatalogSong& song, const std::u16string& performer, bool nothingPlays, const GuestPhone& guest)
{
    bool added = false;
    bool startNow = false;
    Change([&] {
        startNow = nothingPlays && m_queue.Entries().empty();
        added = Enqueue(song, performer, guest, false);
    });
    if (!added && guest.session.empty())
        m_prompts.ShowError(CaptionError(), Tr("CSongPicker", "已点歌曲已满。"));
    if (added && startNow)
        Skip();
    return added;
}

void CSongPicker::PickFirst(const CatalogSong& song, const std::u16string& performer)
{
    bool added = false;
    Change([&] { added = Enqueue(song, performer, {}, true); });
    if (!added)
        m_prompts.ShowError(CaptionError(), Tr("CSongPicker", "已点歌曲已满。"));
}

void CSongPicker::PlayNow(const CatalogSong& song)
{
    bool added = false;
    Change([&] { added = Enqueue(song, {}, {}, true); });
    if (added)
        Skip();
    else
        m_prompts.ShowError(CaptionError(), Tr("CSongPicker", "已点歌曲已满。"));
}

bool CSongPicker::Enqueue(const CatalogSong& song, const std::u16string& performer, const GuestPhone& guest, bool first)
{
    const std::optional<std::uint64_t> ticket
        = m_queue.Add({song.id, song.path, song.title, song.singer, performer, false, 0, guest.session, guest.address});
    if (ticket && first)
        m_queue.Prioritize(*m_queue.Find(*ticket));
    return ticket.has_value();
}

std::uint64_t CSongPicker::TicketAt(size_t index) const
{
    return index < m_queue.Entries().size() ? m_queue.Entries()[index].ticket : 0;
}

void CSongPicker::Prioritize(size_t index)
{
    Change([this, ticket = TicketAt(index)] {
        if (const std::optional<size_t> now = m_queue.Find(ticket))
            m_queue.Prioritize(*now);
    });
}

void CSongPicker::Remove(size_t index)
{
    Change([this, ticket = TicketAt(index)] {
        if (const std::optional<size_t> now = m_queue.Find(ticket))
            m_queue.Remove(*now);
    });
}

void CSongPicker::Move(size_t from, size_t to)
{
    Change([this, ticket = TicketAt(from), to] {
        if (const std::optional<size_t> now = m_queue.Find(ticket))
            m_queue.Move(*now, to);
    });
}

void CSongPicker::Skip()
{
    std::optional<QueueEntry> next;
    Change([&] { next = m_queue.Next(); });
    if (next)
        Start(*next);
}

void CSongPicker::SongEnded()
{
    if (m_continuous && !m_queue.Entries().empty())
        Skip();
}

void CSongPicker::Refresh()
{
    // A save renames a new file over the old one, so a change shows in the file's time or size.
    std::error_code missing;
    const auto written = std::filesystem::last_write_time(m_queueFile, missing);
    const std::uint64_t size = missing ? 0 : std::filesystem::file_size(m_queueFile, missing);
    if (missing ? m_fileText.empty() : written == m_fileWritten && size == m_fileText.size())
        return;
    const std::string before = m_fileText;
    {
        const auto lock = m_locks.Lock(m_queueFile.parent_path());
        ReadIfChanged();
    }
    if (m_fileText != before || !m_warning.empty())
        Changed();
}

std::optional<QueueEntry> CSongPicker::UpNext() const
{
    if (m_queue.Entries().empty())
        return std::nullopt;
    return m_queue.Entries().front();
}

void CSongPicker::Change(const std::function<void()>& change)
{
    bool saved = false;
    {
        const auto lock = m_locks.Lock(m_queueFile.parent_path());
        ReadIfChanged();
        change();
        const std::string text = m_queue.Serialize();
        saved = SaveFile(m_queueFile, text);
        if (saved)
            m_fileText = text;
        std::error_code error;
        m_fileWritten = std::filesystem::last_write_time(m_queueFile, error);
    }
    if (!saved && !std::exchange(m_saveFailureShown, true))
        m_prompts.ShowError(
            CaptionError(), Formatted(Tr("CSongPicker", "无法保存已点歌曲文件“%1”。"), {PathToUtf16(m_queueFile)}));
    Changed();
}

void CSongPicker::ReadIfChanged()
{
    const FileContent content = ReadRegularFile(m_queueFile, kMaximumSongQueueBytes);
    const bool unchanged = content.result == EFileRead::Done
        ? content.bytes == m_fileText
        : content.result == EFileRead::Missing && m_fileText.empty();
    if (unchanged)
        return;
    std::string text;
    CSongQueue fromFile = LoadSongQueue(m_queueFile, m_warning, text);
    // A file set aside as damaged leaves this queue as it was, to be saved in its place.
    if (m_warning.empty())
        m_queue.Merge(std::move(fromFile));
    m_fileText = std::move(text);
    std::error_code error;
    m_fileWritten = std::filesystem::last_write_time(m_queueFile, error);
}

void CSongPicker::Start(const QueueEntry& entry)
{
    m_starter.StartSong(entry.path);
    if (entry.songId == 0)
        return;
    try {
        m_store.CountSung(entry.songId);
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
    }
    if (m_sung)
        m_sung(entry.songId);
}

void CSongPicker::Changed()
{
    if (!m_warning.empty())
        m_prompts.ShowError(CaptionWarning(), std::exchange(m_warning, {}));
    for (const auto& [number, changed] : m_changedListeners)
        changed();
}

} // namespace linlangok
