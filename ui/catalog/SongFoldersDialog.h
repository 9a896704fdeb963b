#pragma once

#include "common/FilePath.h"
#include "common/UserPrompts.h"
#include "core/catalog/CatalogStore.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace linlangok {

// How 歌库 names a venue's catalogue: by a libpq connection string, checked by the platform's.
struct CatalogConnectionParts {
    std::string environment; // LINLANGOK_CATALOG, which wins over the one remembered; empty when unset
    std::function<std::string(std::string_view)> masked; // as it may be shown, its password hidden
    // As it may be kept, its password left out; nothing when the text is no connection string.
    std::function<std::optional<std::string>(std::string_view)> withoutPassword;
    // Connects, on the dialog's worker: why it could not, for the user (its password hidden); empty
    // when it could. Gives up when the token is stopped, as the dialog closes.
    std::function<std::string(const std::string&, std::stop_token)> reach;
};

// The connection string 歌库 remembered (in Qt's settings) for the catalogue of the next start;
// empty for this machine's Catalog.db.
std::string RememberedCatalogConnection();

struct SongFoldersParts {
    // A store for the dialog's worker thread, where the folders are read and changed, so that a
    // server's answer is never waited for on the UI thread.
    std::function<std::unique_ptr<ICatalogStore>()> openStore;
    IUserPrompts& prompts;
    const CPathDisplay& names; // how file names that are not UTF-8 read
    CatalogConnectionParts connection = {}; // without its functions, the catalogue is not chosen here
};

// 歌库: the song folders of the catalogue, with 添加... (asks for a folder) and 删除 (the folder
// selected, or the Delete key in the list); and, when the parts allow, the venue's catalogue server
// (a connection string, empty for this machine's), tried on the worker first (one that cannot be
// reached is kept only when the user says so), and remembered for the next start without its
// password, which libpq's ~/.pgpass or PGSERVICE hold. Each change of folders goes to the store at
// once, on a worker thread, the buttons waiting meanwhile: a removed folder's songs leave the
// catalogue with it. Store errors are shown through the prompts. UI thread; nothing else may change
// the store's folders while the dialog is open.
class CSongFoldersDialog final : public QDialog {
    Q_OBJECT
public:
    // The parts' prompts and names outlive the dialog.
    CSongFoldersDialog(SongFoldersParts parts, QWidget* parent);
    // Waits for a change on its way to the store.
    ~CSongFoldersDialog() override;

    // Whether a folder has been added or removed.
    bool Changed() const { return m_changed; }
    // While the worker reads or changes the folders, or tries the server.
    bool IsBusy() const { return m_busy; }

signals:
    // The folders as the store has them now are listed, after a change or why it failed.
    void FoldersListed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // On the worker's way back: the folders, or why the store failed, and whether the change was made.
    struct Outcome {
        std::vector<std::filesystem::path> folders;
        std::u16string error;
        bool changed = false;
    };

    void AddFolder();
    void RemoveFolder();
    void UseConnection();
    // Back from trying the server typed: why it could not be reached (empty when it could).
    void Reached(const std::string& typed, const std::string& kept, const std::u16string& why);
    void Remember(const std::string& typed, const std::string& kept, bool reached);
    // Makes the change (none: only reads) on the worker, then lists the folders, the folder to
    // select (else the row at `row`, or the last) selected.
    void Run(std::function<void(ICatalogStore&)> change, std::optional<std::filesystem::path> select, int row);
    void List(const Outcome& outcome, const std::optional<std::filesystem::path>& select, int row);
    void EnableButtons();

    SongFoldersParts m_parts;
    std::vector<std::filesystem::path> m_folders; // as listed
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_status = nullptr;
    QLineEdit* m_connection = nullptr; // null when the catalogue is not chosen here
    QPushButton* m_use = nullptr; // with m_connection
    bool m_changed = false;
    bool m_busy = false;
    std::unique_ptr<ICatalogStore> m_store; // the worker's; opened again after a failure
    std::jthread m_worker; // last: joined before what it uses goes
};

} // namespace linlangok
