#include "ui/widgets/DialogTemplate.h"
#include "ui/widgets/DialogUnits.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr ControlTemplate kControls[] = {
    {0, EControlKind::GroupBox, "组", 0, 0, 100, 80},
    {1, EControlKind::Label, "名称:", 4, 4, 30, 10},
    {2, EControlKind::Label, "居中", 4, 16, 30, 10, nullptr, Qt::AlignCenter},
    {3, EControlKind::Edit, "", 36, 4, 60, 14, "名称"},
    {4, EControlKind::Button, "确定", 4, 30, 40, 14},
    {5, EControlKind::DefaultButton, "退出", 48, 30, 40, 14},
    {6, EControlKind::CheckBox, "静音", 4, 46, 40, 10, "主音量静音"},
    {7, EControlKind::ComboBox, "", 4, 58, 40, 14},
    {8, EControlKind::ListBox, "", 48, 46, 40, 30},
    {9, EControlKind::VerticalSlider, "", 90, 4, 8, 60},
    {10, EControlKind::Custom, "", 0, 0, 100, 10, "电平"},
};

TEST(DialogTemplateTest, BuildsEachKindWhereTheTemplateSaysWithItsNames)
{
    QWidget parent;
    const CDialogUnits units(parent.font());
    const QPoint offset(0, 20);
    auto* made = new QProgressBar(&parent); // made first, placed last
    CDialogControls controls;
    controls.Build(
        parent, "DialogTemplateTest", kControls, units,
        [made](const ControlTemplate& control) -> QWidget* {
            return control.kind == EControlKind::Custom ? made : nullptr;
        },
        offset);

    // The parent's children are in stacking order: the template's.
    const char* const classes[] = {"QGroupBox", "QLabel", "QLabel", "QLineEdit", "QPushButton", "QPushButton",
        "QCheckBox", "QComboBox", "QListWidget", "QSlider", "QProgressBar"};
    const char16_t* const accessibleNames[]
        = {u"组", u"名称", u"居中", u"名称", u"确定", u"退出", u"主音量静音", u"", u"", u"", u"电平"};
    const QObjectList children = parent.children();
    ASSERT_EQ(children.size(), std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlTemplate& control = kControls[i];
        auto* widget = static_cast<QWidget*>(children[i]);
        EXPECT_STREQ(widget->metaObject()->className(), classes[i]);
        EXPECT_EQ(
            widget->geometry(), units.ToPixels(control.x, control.y, control.width, control.height).translated(offset))
            << i;
        EXPECT_EQ(widget->accessibleName(), QString::fromUtf16(accessibleNames[i]));
        EXPECT_EQ(widget->objectName(), control.id ? QString::number(control.id) : QString());
        EXPECT_EQ(controls.Control(control.id), control.id ? widget : nullptr);
    }
    EXPECT_EQ(controls.Control<QLabel>(1)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(controls.Control<QLabel>(2)->alignment(), Qt::AlignCenter);
    EXPECT_EQ(controls.Control<QSlider>(9)->orientation(), Qt::Vertical);
    for (const int id : {4, 5}) {
        EXPECT_FALSE(controls.Control<QPushButton>(id)->autoDefault());
        EXPECT_EQ(controls.Control<QPushButton>(id)->isDefault(), id == 5);
    }
    EXPECT_EQ(controls.Control<QLabel>(4), nullptr);
    EXPECT_EQ(controls.Control(99), nullptr);
}

TEST(DialogTemplateTest, ACustomControlWithoutWidgetIsRefused)
{
    QWidget parent;
    CDialogControls controls;
    EXPECT_THROW(
        controls.Build(parent, "DialogTemplateTest", kControls, CDialogUnits(parent.font())), std::invalid_argument);
}

} // namespace
} // namespace linlangok
