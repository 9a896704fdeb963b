#include "core/songlist/SongListStore.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <stdexcept>
#include <system_error>

namespace linlangok {
namespace {

constexpr std::u16string_view kListFileExtension = u".kpl";

} // namespace

std::filesystem::path PlayListFolder(const std::filesystem::path& programFolder)
{
    return programFolder / "PlayList";
}

CSongListStore::CSongListStore(IUserPrompts& prompts, const ICodePage& codePage, const CPathDisplay& names,
    const ITextCollator& collator, std::filesystem::path folder)
    : m_prompts(prompts)
    , m_codePage(codePage)
    , m_names(names)
    , m_collator(collator)
    , m_folder(std::move(folder))
{
    std::error_code error;
    std::filesystem::create_directory(m_folder, error);
}

const std::vector<ListIndexEntry>& CSongListStore::EnumerateLists()
{
    m_lists.clear();
    m_selected = -1;
    for (const auto& file : ListFolderFiles(m_folder, kListFilePattern, m_prompts)) {
        std::u16string name = m_names.Text(PathToUtf16(file.name));
        name.resize(name.size() >= kListFileExtension.size() ? name.size() - kListFileExtension.size() : 0);
        m_lists.push_back({std::move(name), file.fullPath});
    }
    SortByName(m_lists, m_collator, [](const ListIndexEntry& list) { return std::u16string_view(list.displayName); });
    return m_lists;
}

bool CSongListStore::SelectList(int index)
{
    if (index < 0 || index >= static_cast<int>(m_lists.size()))
        return false;
    if (!LoadList(m_lists[index].path, m_codePage, m_open, m_prompts))
        return false;
    m_selected = index;
    return true;
}

bool CSongListStore::AddSong(std::u16string_view path)
{
    if (path.empty())
        return false;
    m_open.songs.push_back(SongRecordOfPath(path, m_names));
    return true;
}

void CSongListStore::RemoveSong(int index)
{
    if (index >= 0 && index < static_cast<int>(m_open.songs.size()))
        m_open.songs.erase(m_open.songs.begin() + index);
}

void CSongListStore::ClearSongs()
{
    m_open.songs.clear();
}

void CSongListStore::AddFolderSongs(const std::vector<FoundFile>& files)
{
    m_open.storedName = kFolderListStoredName;
    m_open.flag = 0;
    std::vector<SongRecord> songs;
    songs.reserve(files.size());
    for (const auto& file : files)
        songs.push_back(SongRecordOfPath(PathToUtf16(file.fullPath), m_names));
    SortByName(songs, m_collator, [](const SongRecord& song) { return std::u16string_view(song.name); });
    m_open.songs.insert(
        m_open.songs.end(), std::make_move_iterator(songs.begin()), std::make_move_iterator(songs.end()));
}

std::vector<std::u16string> CSongListStore::SongNames() const
{
    std::vector<std::u16string> names;
    for (const auto& song : m_open.songs)
        names.push_back(song.name);
    return names;
}

bool CSongListStore::SaveOpenList()
{
    if (m_selected < 0)
        return false;
    return Save(m_lists[m_selected].path, m_open, m_lists[m_selected].displayName);
}

bool CSongListStore::Save(const std::filesystem::path& path, const SongList& list, std::u16string_view name)
{
    if (SaveList(path, list, m_codePage))
        return true;
    m_prompts.ShowError(CaptionError(), Formatted(Tr("CSongListStore", "无法保存歌曲列表“%1”。"), {name}));
    return false;
}

std::filesystem::path CSongListStore::ListFilePath(std::u16string_view name) const
{
    if (name.empty() || name == u"." || name == u".."
        || name.find_first_of(std::u16string_view(u"/\\\0", 3)) != std::u16string_view::npos)
        throw std::runtime_error(
            TrUtf8("CSongListStore", "歌曲列表名不能为空，不能是“.”或“..”，也不能包含“/”、“\\”或空字符。"));
    return m_folder / Utf16ToPath(std::u16string(name) + std::u16string(kListFileExtension));
}

bool CSongListStore::ValidListFilePath(std::u16string_view name, std::filesystem::path& path) const
{
    try {
        path = ListFilePath(name);
        return true;
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return false;
    }
}

int CSongListStore::FindList(std::u16string_view name) const
{
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        if (m_lists[i].displayName == name)
            return static_cast<int>(i);
    }
    return -1;
}

bool CSongListStore::CreateList(std::u16string_view name)
{
    std::filesystem::path path;
    if (!ValidListFilePath(name, path))
        return false;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        m_prompts.ShowError(CaptionError(), Formatted(Tr("CSongListStore", "歌曲列表“%1”已存在。"), {name}));
        return false;
    }
    if (!Save(path, SongList {}, name))
        return false;
    EnumerateLists();
    return SelectList(FindList(name));
}

bool CSongListStore::RenameList(std::u16string_view newName)
{
    std::filesystem::path path;
    if (m_selected < 0 || !ValidListFilePath(newName, path))
        return false;
    // Renaming onto an existing list would replace it here; the other platform refuses it.
    std::error_code error;
    bool renamed = m_lists[m_selected].displayName == newName;
    if (!renamed && !std::filesystem::exists(path, error)) {
        std::filesystem::rename(m_lists[m_selected].path, path, error);
        renamed = !error;
    }
    EnumerateLists();
    return renamed && SelectList(FindList(newName));
}

bool CSongListStore::DeleteSelectedList()
{
    if (m_selected < 0 || m_lists.size() <= 1)
        return false;
    const int index = m_selected;
    std::error_code error;
    std::filesystem::remove(m_lists[index].path, error);
    EnumerateLists();
    return SelectList(index < static_cast<int>(m_lists.size()) ? index : 0);
}

} // namespace linlangok
