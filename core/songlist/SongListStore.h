#pragma once

#include "common/TextCollator.h"
#include "common/UserPrompts.h"
#include "core/songlist/FileFinder.h"
#include "core/songlist/SongListFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

inline constexpr std::u16string_view kListFilePattern = u"*.kpl";
inline constexpr std::u16string_view kFolderListStoredName = u"listname";

// The PlayList folder under the program folder.
std::filesystem::path PlayListFolder(const std::filesystem::path& programFolder);

// One list file found in the PlayList folder.
struct ListIndexEntry {
    std::u16string displayName; // the file name as it is shown, without its last 4 characters
    std::filesystem::path path;
};

// The song lists of the PlayList folder: the index of list files (the folder's contents are the
// index), the selected list and the one open list, which is always the selected list's content.
// Changes to the open list are not saved by themselves: the song list window saves after each
// change. Messages go through the prompts; list text is converted with the code page; file names
// are shown as names shows them; the collator orders the lists and the songs added from a folder
// by name. The caller keeps these alive for the store's lifetime. UI thread only.
class CSongListStore {
public:
    // Lists the files of folder (normally PlayListFolder). Creates the folder when it is
    // missing; a failure is ignored (the index is then empty and saves fail).
    CSongListStore(IUserPrompts& prompts, const ICodePage& codePage, const CPathDisplay& names,
        const ITextCollator& collator, std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return m_folder; }

    // Rebuilds the index from the "*.kpl" files of the folder, ordered by name, and selects
    // none. Returns the index, whose display names are the combo box's items.
    const std::vector<ListIndexEntry>& EnumerateLists();
    const std::vector<ListIndexEntry>& Lists() const { return m_lists; }

    // Selects the list at index and loads it into the open list. An index outside the index
    // does nothing. When the file cannot be loaded the previous list stays selected and open,
    // so the unreadable file is never saved over; returns false then.
    bool SelectList(int index);
    int SelectedIndex() const { return m_selected; } // -1 when none

    const SongList& OpenList() const { return m_open; }

    // Appends the song (flag 0, its file name, the path); false for an empty path. The file is
    // not examined.
    bool AddSong(std::u16string_view path);

    // Removes the song at index; an index outside the list does nothing.
    void RemoveSong(int index);
    void ClearSongs();

    // Adding songs from a folder: the stored name becomes "listname" and the flag 0; then the
    // files, as a CFolderListing of SongFilePatterns found them, are appended in the order of
    // their names. None when the browser was cancelled.
    void AddFolderSongs(const std::vector<FoundFile>& files);

    // The open list's song names, in list order (the list box's items).
    std::vector<std::u16string> SongNames() const;

    // Saves the open list to the selected list's file; false when none is selected, or with a
    // message when the file could not be written.
    bool SaveOpenList();

    // The file of a list name: the folder, the name and ".kpl". Throws std::runtime_error with
    // "歌曲列表名不能为空……" for "", ".", ".." and names holding "/", "\" or a zero character;
    // other dots ("等你...", "Vol..2") are fine.
    std::filesystem::path ListFilePath(std::u16string_view name) const;

    // New list: saves an empty list under the name, rebuilds the index and selects it. A name
    // that is invalid or already taken, or a file that cannot be written, is refused with a
    // message, and nothing changes.
    bool CreateList(std::u16string_view name);

    // Renames the selected list's file, rebuilds the index and selects the renamed list. An
    // invalid name is refused with a message and nothing changes; when the rename fails (the
    // name is taken, the file is gone) the index is rebuilt and nothing is selected, without a
    // message.
    bool RenameList(std::u16string_view newName);

    // Deletes the selected list's file when there is more than one list, rebuilds the index and
    // selects the list at the same position, or the first one when that is past the end.
    bool DeleteSelectedList();

private:
    // The index of the first list whose display name equals name exactly, or -1.
    int FindList(std::u16string_view name) const;
    bool ValidListFilePath(std::u16string_view name, std::filesystem::path& path) const;
    bool Save(const std::filesystem::path& path, const SongList& list, std::u16string_view name);

    IUserPrompts& m_prompts;
    const ICodePage& m_codePage;
    const CPathDisplay& m_names;
    const ITextCollator& m_collator;
    std::filesystem::path m_folder;
    std::vector<ListIndexEntry> m_lists;
    int m_selected = -1;
    SongList m_open;
};

} // namespace linlangok
