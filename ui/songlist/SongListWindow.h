#pragma once

#include "core/controller/DesktopOpener.h"
#include "core/controller/MainCommand.h"
#include "core/songlist/SongListPresenter.h"
#include "ui/widgets/DialogTemplate.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <memory>

class QComboBox;
class QListWidget;
class QProgressDialog;

namespace linlangok {

class CResizableWindow;

// Control identifiers of the song list window and its name dialog (no fixed underlying type:
// lupdate misreads one).
enum ESongListControl {
    kSongListBox = 1010,
    kRemoveSongButton = 1022,
    kClearSongsButton = 1023,
    kPlaySongButton = 1024,
    kNewListButton = 1025,
    kRenameListButton = 1026,
    kAddFolderButton = 1028,
    kDeleteListButton = 1029,
    kListComboBox = 1031,
    kAddFileButton = 1058,
    kNewListNameEdit = 1059,
    kRenameListNameEdit = 1061,
    kSongSearchButton = 1082,
    kSongListHelpButton = 1083,
};

struct SongListWindowParts {
    IMainCommands& controller;
    IUserPrompts& prompts;
    IDesktopOpener& desktop;
    const ICodePage& codePage;
    const CPathDisplay& names; // how file names are shown
    const ITextCollator& collator; // the order of the lists and of a folder's songs
    std::filesystem::path programFolder; // the lists are in its PlayList folder
    std::filesystem::path helpFolder; // PlayList.html
    std::filesystem::path firstSong; // the first list starts with it, when the file exists
};

// The song list window "播放列表" over its presenter: named song lists in the PlayList folder,
// each change saved at once; picking a song hands it to the main window, a double-click plays
// it. The commands that change a list wait while none is selected (after a rename onto a taken
// name) and while a folder is added, which goes a slice at a time behind a progress dialog. Resizable (only the song
// box grows), with a size grip; its size is written at exit under "PlayListDlg". Closing, Enter and Esc only hide it.
// The parts outlive the window. UI thread.
class CSongListWindow final : public QDialog, public ICompanionWindow, private ISongListPlayer {
    Q_OBJECT
public:
    explicit CSongListWindow(const SongListWindowParts& parts, QWidget* parent = nullptr);
    ~CSongListWindow() override;

    // The control with the identifier, or null.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    const CSongListPresenter& Presenter() const { return m_presenter; }
    bool IsAddingFolder() const { return m_presenter.IsAddingFolder(); }
    // The presenter's, with the song selected in the song box.
    void PlayNeighbour(int step);

    bool IsShown() const override { return isVisible(); }
    void SetShown(bool shown) override { setVisible(shown); }
    const CResizableWindow& Resizer() const { return *m_resizer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // presses on the song box
    void keyPressEvent(QKeyEvent* event) override; // Enter
    void reject() override; // Esc and the close box
    // Song files dropped on the window join the open list, as "文件" adds one.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PickSong(const std::u16string& path) override { m_controller.Handle(command::PickSong {path}); }
    void PlaySongNow(const std::u16string& path) override { m_controller.Handle(command::PlayNow {path}); }

    void Connect();

    void ChooseList(int index);
    void NewList();
    void RenameList();
    void DeleteList();
    void AddFile();
    void AddFolder();
    void ContinueAddingFolder();
    void CancelAddingFolder();
    void FinishAddingFolder();
    void RemoveSong();
    void ClearSongs();
    void HideWindow();

    // The lists with the selected one, the open list's songs and the enable states.
    void ShowAll();
    void ShowLists();
    // The open list's songs with the current one selected.
    void ShowSongs();
    void ShowCurrentSong();
    void ApplyEnableStates();

    IMainCommands& m_controller;
    IUserPrompts& m_prompts;
    IDesktopOpener& m_desktop;
    std::filesystem::path m_helpFolder;
    CSongListPresenter m_presenter;
    CDialogControls m_controls;
    QComboBox* m_lists = nullptr;
    QListWidget* m_songs = nullptr;
    CResizableWindow* m_resizer = nullptr;
    QPointer<QProgressDialog> m_progress;
    QTimer m_folderSlice;
    bool m_pressMovedSelection = false; // the last mouse press on the song box picked its song
};

} // namespace linlangok
