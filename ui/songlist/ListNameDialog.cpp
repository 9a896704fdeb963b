#include "ui/songlist/ListNameDialog.h"

#include "ui/widgets/DialogUnits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace linlangok {
namespace {

constexpr int kClientWidth = 187; // dialog units
constexpr int kClientHeight = 60;

} // namespace

CListNameDialog::CListNameDialog(const QString& title, int editId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(title);
    const CDialogUnits units(font());
    auto* label = new QLabel(tr("请输入歌曲列表名:"), this);
    label->setGeometry(units.ToPixels(7, 7, 173, 10));
    m_edit = new QLineEdit(this);
    m_edit->setGeometry(units.ToPixels(7, 18, 173, 14));
    m_edit->setObjectName(QString::number(editId));
    m_edit->setAccessibleName(tr("歌曲列表名"));
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setGeometry(units.ToPixels(78, 39, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("取消"), this);
    cancel->setGeometry(units.ToPixels(130, 39, 50, 14));
    cancel->setAutoDefault(false);
    for (QPushButton* button : {ok, cancel})
        button->setAccessibleName(button->text());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(units.X(kClientWidth), units.Y(kClientHeight));
    m_edit->setFocus();
}

std::u16string CListNameDialog::Name() const
{
    return m_edit->text().toStdU16String();
}

std::optional<std::u16string> CListNameDialog::Ask(QWidget* parent, const QString& title, int editId)
{
    CListNameDialog dialog(title, editId, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Name();
}

} // namespace linlangok
