#pragma once

#include "core/songlist/SongListStore.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace linlangok {

// Where the song list hands its songs: the main controller. UI thread.
class ISongListPlayer {
public:
    virtual ~ISongListPlayer() = default;

    // The song becomes the main window's song.
    virtual void PickSong(const std::u16string& path) = 0;
    // The song plays at once.
    virtual void PlaySongNow(const std::u16string& path) = 0;
};

// Which commands of the song list window may run.
struct SongListEnables {
    bool listChoice = false; // new list and the list chooser: not while a folder is added
    bool listCommands = false; // the commands on the open list: also only while a list is selected

    bool operator==(const SongListEnables&) const = default;
};

// The song list window without the window: the named lists of the PlayList folder (every change
// saved at once), the folder being added a slice at a time, the enable rules and the current
// song of the open list, which the window shows selected and media keys move. The prompts, the
// player and the store's parts outlive it. UI thread.
class CSongListPresenter {
public:
    // Selects the first list; a folder without lists gets one named 默认列表 (in the user's
    // language) with firstSong in it when that file exists.
    CSongListPresenter(IUserPrompts& prompts, const ICodePage& codePage, const CPathDisplay& names,
        const ITextCollator& collator, const std::filesystem::path& programFolder, ISongListPlayer& player,
        const std::filesystem::path& firstSong);
    ~CSongListPresenter();

    const CSongListStore& Store() const { return m_store; }
    SongListEnables Enables() const;

    // The list commands as the store does them; each leaves no song current.
    void ChooseList(int index);
    bool CreateList(std::u16string_view name);
    bool RenameList(std::u16string_view name);
    // Asks first; the last list stays.
    bool DeleteList();

    // Adds the files to the open list and saves it; false when none was added.
    bool AddSongs(const std::vector<std::filesystem::path>& paths);
    // Removes the current song; the first song then becomes current, without being picked.
    void RemoveCurrentSong();
    void ClearSongs();

    // Adding a folder's songs (not its subfolders'): Start lists it, each Continue reads a slice
    // and returns whether more remain, adding the songs found after the last; Cancel adds none.
    void StartAddingFolder(const std::filesystem::path& folder);
    bool ContinueAddingFolder();
    void CancelAddingFolder();
    bool IsAddingFolder() const { return m_folderListing != nullptr; }
    std::size_t FolderEntriesExamined() const;
    std::size_t FolderEntryCount() const;

    // The current song's row in the open list, -1 for none.
    int CurrentSong() const { return m_current; }
    // Makes the song at row current and picks it, or plays it at once; a row outside the list
    // does nothing.
    void PickSong(int row);
    void PlaySong(int row);
    // Whether the open list has a song after (+1) or before (-1) the current one (with none
    // current, the first song comes next), and plays it.
    bool HasNeighbour(int step) const;
    void PlayNeighbour(int step);

private:
    void FinishAddingFolder(const std::vector<FoundFile>& files);
    // Saves the open list; no song is current after the change.
    void SaveSongs();
    const SongRecord* SongAt(int row) const; // null outside the open list

    IUserPrompts& m_prompts;
    ISongListPlayer& m_player;
    CSongListStore m_store;
    std::unique_ptr<CFolderListing> m_folderListing;
    int m_current = -1;
};

} // namespace linlangok
