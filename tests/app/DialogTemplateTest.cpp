#include "app/DialogTemplate.h"
#include "app/DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <stdexcept>

namespace linlangok {
namespace {

constexpr ControlTemplate kControls[] = {
    {0, EControlKind::GroupBox, u"组", 0, 0, 100, 80},
    {1, EControlKind::Label, u"名称:", 4, 4, 30, 10},
    {2, EControlKind::Label, u"居中", 4, 16, 30, 10, nullptr, Qt::AlignCenter},
    {3, EControlKind::Edit, u"", 36, 4, 60, 14, u"名称"},
    {4, EControlKind::Button, u"确定", 4, 30, 40, 14},
    {5, EControlKind::DefaultButton, u"退出", 48, 30, 40, 14},
    {6, EControlKind::CheckBox, u"静音", 4, 46, 40, 10, u"主音量静音"},
    {7, EControlKind::ComboBox, u"", 4, 58, 40, 14},
    {8, EControlKind::ListBox, u"", 48, 46, 40, 30},
    {9, EControlKind::VerticalSlider, u"", 90, 4, 8, 60},
    {10, EControlKind::Custom, u"", 0, 0, 100, 10, u"电平"},
};

TEST(DialogTemplateTest, BuildsEachKindWhereTheTemplateSaysWithItsNames)
{
    QWidget parent;
    const CDialogUnits units(parent.font());
    const QPoint offset(0, 20);
    CDialogControls controls;
    auto* made = new QProgressBar(&parent); // made first, placed last
    controls.Build(
        parent, kControls, units,
        [made](const ControlTemplate& control) -> QWidget* {
            return control.kind == EControlKind::Custom ? made : nullptr;
        },
        offset);

    struct Row {
        int id;
        bool isKind;
        const char16_t* accessibleName;
    };
    const Row rows[] = {
        {1, controls.Control<QLabel>(1) != nullptr, u"名称"},
        {2, controls.Control<QLabel>(2) != nullptr, u"居中"},
        {3, controls.Control<QLineEdit>(3) != nullptr, u"名称"},
        {4, controls.Control<QPushButton>(4) != nullptr, u"确定"},
        {5, controls.Control<QPushButton>(5) != nullptr, u"退出"},
        {6, controls.Control<QCheckBox>(6) != nullptr, u"主音量静音"},
        {7, controls.Control<QComboBox>(7) != nullptr, u""},
        {8, controls.Control<QListWidget>(8) != nullptr, u""},
        {9, controls.Control<QSlider>(9) != nullptr, u""},
        {10, controls.Control(10) == made, u"电平"},
    };
    for (const Row& row : rows) {
        const ControlTemplate& control = kControls[row.id];
        const QWidget* widget = controls.Control(row.id);
        ASSERT_NE(widget, nullptr) << row.id;
        EXPECT_TRUE(row.isKind) << row.id;
        EXPECT_EQ(
            widget->geometry(), units.ToPixels(control.x, control.y, control.width, control.height).translated(offset))
            << row.id;
        EXPECT_EQ(widget->accessibleName(), QString::fromUtf16(row.accessibleName)) << row.id;
        EXPECT_EQ(widget->objectName(), QString::number(row.id));
    }
    EXPECT_EQ(controls.Control<QLabel>(1)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(controls.Control<QLabel>(2)->alignment(), Qt::AlignCenter);
    EXPECT_EQ(controls.Control<QSlider>(9)->orientation(), Qt::Vertical);
    for (const int id : {4, 5}) {
        EXPECT_FALSE(controls.Control<QPushButton>(id)->autoDefault());
        EXPECT_EQ(controls.Control<QPushButton>(id)->isDefault(), id == 5);
    }
    // Unnamed controls are built but not looked up; the last one lies on top.
    const auto* group = parent.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->accessibleName(), QStringLiteral("组"));
    EXPECT_EQ(controls.Control(0), nullptr);
    EXPECT_EQ(controls.Control<QLabel>(4), nullptr);
    EXPECT_EQ(parent.childAt(units.ToPixels(50, 2, 1, 1).translated(offset).topLeft()), made);
}

TEST(DialogTemplateTest, ACustomControlWithoutWidgetIsRefused)
{
    QWidget parent;
    CDialogControls controls;
    EXPECT_THROW(controls.Build(parent, kControls, CDialogUnits(parent.font())), std::invalid_argument);
}

} // namespace
} // namespace linlangok
