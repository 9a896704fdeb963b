#include "core/songlist/SongListPresenter.h"

#include "common/SongKind.h"
#include "common/Translation.h"

#include <system_error>

namespace linlangok {
namespace {

// Accepted folder entries matched in one slice: a few milliseconds.
constexpr std::size_t kFolderSliceEntries = 256;

} // namespace

CSongListPresenter::CSongListPresenter(IUserPrompts& prompts, const ICodePage& codePage, const CPathDisplay& names,
    const ITextCollator& collator, const std::filesystem::path& programFolder, ISongListPlayer& player,
    const std::filesystem::path& firstSong)
    : m_prompts(prompts)
    , m_player(player)
    , m_store(prompts, codePage, names, collator, PlayListFolder(programFolder))
{
    m_store.EnumerateLists();
    if (!m_store.Lists().empty()) {
        m_store.SelectList(0);
    } else if (m_store.CreateList(Tr("CSongListPresenter", "默认列表"))) {
        std::error_code error;
        if (std::filesystem::is_regular_file(firstSong, error) && m_store.AddSong(PathToUtf16(firstSong)))
            m_store.SaveOpenList();
    }
}

CSongListPresenter::~CSongListPresenter() = default;

SongListEnables CSongListPresenter::Enables() const
{
    const bool idle = !IsAddingFolder();
    return {idle, idle && m_store.SelectedIndex() >= 0};
}

void CSongListPresenter::ChooseList(int index)
{
    m_store.SelectList(index); // a list that could not be loaded leaves the previous one selected
    m_current = -1;
}

bool CSongListPresenter::CreateList(std::u16string_view name)
{
    m_current = -1;
    return m_store.CreateList(name);
}

bool CSongListPresenter::RenameList(std::u16string_view name)
{
    m_current = -1;
    return m_store.RenameList(name); // after a failed rename no list is selected
}

bool CSongListPresenter::DeleteList()
{
    if (m_store.Lists().size() <= 1)
        return false;
    MessageRequest question;
    question.caption = ApplicationTitle();
    question.text = Tr("CSongListPresenter", "确定要删除当前播放列表吗?");
    question.buttons = EMessageButtons::YesNo;
    question.icon = EMessageIcon::Question;
    if (m_prompts.ShowMessage(question) != EPromptAnswer::Yes)
        return false;
    m_current = -1;
    return m_store.DeleteSelectedList();
}

bool CSongListPresenter::AddSongs(const std::vector<std::filesystem::path>& paths)
{
    bool added = false;
    for (const std::filesystem::path& path : paths)
        added = m_store.AddSong(PathToUtf16(path)) || added;
    if (added)
        SaveSongs();
    return added;
}

void CSongListPresenter::RemoveCurrentSong()
{
    m_store.RemoveSong(m_current);
    SaveSongs();
    if (!m_store.OpenList().songs.empty())
        m_current = 0;
}

void CSongListPresenter::ClearSongs()
{
    m_store.ClearSongs();
    SaveSongs();
}

void CSongListPresenter::StartAddingFolder(const std::filesystem::path& folder)
{
    m_folderListing = std::make_unique<CFolderListing>(folder, SongFilePatterns(u'|'), m_prompts);
}

bool CSongListPresenter::ContinueAddingFolder()
{
    if (!m_folderListing)
        return false;
    if (m_folderListing->Step(kFolderSliceEntries))
        return true;
    std::vector<FoundFile> files = m_folderListing->TakeFiles();
    std::erase_if(files, [](const FoundFile& file) { return !IsSongFile(file.fullPath); });
    LeaveOutUltraStarMedia(files, 0, [](const FoundFile& file) { return file.fullPath; });
    FinishAddingFolder(std::move(files));
    return false;
}

void CSongListPresenter::CancelAddingFolder()
{
    FinishAddingFolder({});
}

std::size_t CSongListPresenter::FolderEntriesExamined() const
{
    return m_folderListing ? m_folderListing->EntriesExamined() : 0;
}

std::size_t CSongListPresenter::FolderEntryCount() const
{
    return m_folderListing ? m_folderListing->EntryCount() : 0;
}

void CSongListPresenter::FinishAddingFolder(const std::vector<FoundFile>& files)
{
    m_folderListing.reset();
    m_store.AddFolderSongs(files);
    SaveSongs();
}

void CSongListPresenter::SaveSongs()
{
    m_store.SaveOpenList();
    m_current = -1;
}

const SongRecord* CSongListPresenter::SongAt(int row) const
{
    const auto& songs = m_store.OpenList().songs;
    return row >= 0 && row < static_cast<int>(songs.size()) ? &songs[row] : nullptr;
}

void CSongListPresenter::PickSong(int row)
{
    if (const SongRecord* song = SongAt(row)) {
        m_current = row;
        m_player.PickSong(song->path);
    }
}

void CSongListPresenter::PlaySong(int row)
{
    if (const SongRecord* song = SongAt(row)) {
        m_current = row;
        m_player.PlaySongNow(song->path);
    }
}

bool CSongListPresenter::HasNeighbour(int step) const
{
    return SongAt(m_current + step) != nullptr;
}

void CSongListPresenter::PlayNeighbour(int step)
{
    PlaySong(m_current + step);
}

} // namespace linlangok
