#pragma once

#include "common/FilePath.h"
#include "common/UserPrompts.h"
#include "core/catalog/CatalogStore.h"

#include <QDialog>

#include <filesystem>
#include <vector>

class QListWidget;
class QPushButton;

namespace linlangok {

// 歌库: the song folders of the catalogue, with 添加... (asks for a folder) and 删除 (the folder
// selected, or the Delete key in the list). Each change goes to the store at once: a removed
// folder's songs leave the catalogue with it. Store errors are shown through the prompts. UI
// thread; nothing else may change the store's folders while the dialog is open.
class CSongFoldersDialog final : public QDialog {
    Q_OBJECT
public:
    // The store, prompts and names outlive the dialog.
    CSongFoldersDialog(ICatalogStore& store, IUserPrompts& prompts, const CPathDisplay& names, QWidget* parent);

    // Whether a folder has been added or removed.
    bool Changed() const { return m_changed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddFolder();
    void RemoveFolder();
    // Lists the store's folders again, the row at `row` (or the last) selected.
    void Reload(int row);

    ICatalogStore& m_store;
    IUserPrompts& m_prompts;
    const CPathDisplay& m_names;
    std::vector<std::filesystem::path> m_folders; // as listed
    QListWidget* m_list = nullptr;
    QPushButton* m_remove = nullptr;
    bool m_changed = false;
};

} // namespace linlangok
