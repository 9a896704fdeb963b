#include "core/catalog/SongPicker.h"

#include "common/FilePath.h"
#include "common/Text.h"

#include <stdexcept>

namespace linlangok {

CSongPicker::CSongPicker(
    ICatalogStore& store, ISongStarter& starter, IUserPrompts& prompts, std::filesystem::path queueFile)
    : m_store(store)
    , m_starter(starter)
    , m_prompts(prompts)
    , m_queueFile(std::move(queueFile))
{
    std::u16string warning;
    m_queue = LoadSongQueue(m_queueFile, warning);
    if (!warning.empty())
        m_prompts.ShowError(kCaptionWarning, warning);
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

void CSongPicker::Pick(const CatalogSong& song, const std::u16string& performer, bool idle, const std::string& guest)
{
    const bool startNow = idle && m_queue.Entries().empty();
    if (!Enqueue(song, performer, guest, false))
        return;
    if (startNow)
        Skip();
    else
        Changed();
}

void CSongPicker::PickFirst(const CatalogSong& song, const std::u16string& performer)
{
    if (Enqueue(song, performer, {}, true))
        Changed();
}

void CSongPicker::PlayNow(const CatalogSong& song)
{
    if (Enqueue(song, {}, {}, true))
        Skip();
}

bool CSongPicker::Enqueue(
    const CatalogSong& song, const std::u16string& performer, const std::string& guest, bool first)
{
    const std::optional<std::uint64_t> ticket
        = m_queue.Add({song.id, song.path, song.title, song.singer, performer, false, 0, guest});
    if (!ticket) {
        m_prompts.ShowError(kCaptionError, u"已点歌曲已满。");
        return false;
    }
    if (first)
        m_queue.Prioritize(*m_queue.Find(*ticket));
    return true;
}

void CSongPicker::Prioritize(size_t index)
{
    m_queue.Prioritize(index);
    Changed();
}

void CSongPicker::Remove(size_t index)
{
    m_queue.Remove(index);
    Changed();
}

void CSongPicker::Move(size_t from, size_t to)
{
    m_queue.Move(from, to);
    Changed();
}

void CSongPicker::Skip()
{
    const std::optional<QueueEntry> next = m_queue.Next();
    Changed();
    if (next)
        Start(*next);
}

void CSongPicker::SongEnded()
{
    if (m_continuous && !m_queue.Entries().empty())
        Skip();
}

std::optional<QueueEntry> CSongPicker::UpNext() const
{
    if (m_queue.Entries().empty())
        return std::nullopt;
    return m_queue.Entries().front();
}

void CSongPicker::Start(const QueueEntry& entry)
{
    m_starter.StartSong(entry.path);
    if (entry.songId == 0)
        return;
    try {
        m_store.CountSung(entry.songId);
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(kCaptionError, Utf8ToUtf16(error.what()));
    }
    if (m_sung)
        m_sung(entry.songId);
}

void CSongPicker::Changed()
{
    if (!SaveSongQueue(m_queueFile, m_queue) && !m_saveFailureShown) {
        m_saveFailureShown = true;
        m_prompts.ShowError(kCaptionError, u"无法保存已点歌曲文件“" + PathToUtf16(m_queueFile) + u"”。");
    }
    for (const auto& [number, changed] : m_changedListeners)
        changed();
}

} // namespace linlangok
