#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace linlangok {

// The name dialog of the song list window: the label "请输入歌曲列表名:", an edit field and the
// buttons "确定" and "取消", laid out in dialog units. UI thread.
class CListNameDialog final : public QDialog {
    Q_OBJECT
public:
    // The edit field's identifier (its object name) tells the command: 1059 new, 1061 rename.
    CListNameDialog(const QString& title, int editId, QWidget* parent = nullptr);

    // The text as typed: not trimmed, not checked.
    std::u16string Name() const;

    // Runs the dialog modally: the name, or nothing when cancelled.
    static std::optional<std::u16string> Ask(QWidget* parent, const QString& title, int editId);

private:
    QLineEdit* m_edit;
};

} // namespace linlangok
