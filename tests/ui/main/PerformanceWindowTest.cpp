#include "ui/main/PerformanceWindow.h"
#include "tests/core/controller/FakePerformance.h"
#include "ui/desktop/QtUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

TEST(PerformanceWindowTest, TheAlignmentShowsAndTheControlsDriveThePerformance)
{
    test::CPerformanceRig rig;
    rig.performance.alignmentMs = 123.45;
    CPerformanceController& controller = rig.controller;
    CPerformanceWindow window(controller);
    QStringList labels;
    for (const QLabel* label : window.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("人声已对齐伴奏 (校正 123.5 毫秒)"))) << labels.join(u'|').toStdString();
    for (const QWidget* control : window.findChildren<QWidget*>())
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();

    auto* slider = static_cast<QSlider*>(window.Control(kPerformanceBalanceSlider));
    EXPECT_EQ(slider->value(), 50);
    slider->setValue(70);
    EXPECT_EQ(controller.VoicePercent(), 70);
    auto* audition = static_cast<QPushButton*>(window.Control(kPerformanceAuditionButton));
    audition->click();
    EXPECT_EQ(audition->text(), QStringLiteral("停止"));
    EXPECT_EQ(audition->accessibleName(), QStringLiteral("停止"));

    // Esc closes the window and stops the audition.
    window.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(controller.IsAuditioning());
    EXPECT_EQ(audition->text(), QStringLiteral("试听"));
}

// The save dialog: a filter whose description names patterns shows its own once, and a bare name
// takes the suffix of the chosen filter.
TEST(PerformanceWindowTest, SaveFiltersShowTheirPatternsOnceAndABareNameTakesTheChosenSuffix)
{
    const test::CTemporaryFolder folder;
    const std::pair<int, const char*> rows[] = {{1, "take.wav"}, {0, "take.mp3"}};
    for (const auto& [filter, saved] : rows) {
        QTimer::singleShot(0, [filter] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->nameFilters(),
                QStringList({QStringLiteral("Music Files (*.mp3)"), QStringLiteral("WAV File (*.wav)"),
                    QStringLiteral("Songs (*.mid *.kar)"), QStringLiteral("Music Files (*.jp *.mid)")}));
            const QString chosen = dialog->nameFilters().at(filter);
            dialog->selectNameFilter(chosen);
            emit dialog->filterSelected(chosen);
            dialog->selectFile(QStringLiteral("take"));
            static_cast<QDialog*>(dialog)->accept();
        });
        FileDialogRequest request;
        request.filters = {{u"Music Files (*.mp3)", u"*.mp3"}, {u"WAV File", u"*.wav"},
            {u"Songs (*.mid;*.kar)", u"*.mid;*.kar"}, {u"Music Files (*.mid;*.mp3)", u"*.jp;*.mid"}};
        request.defaultExtension = u"mp3";
        request.initialPath = folder.Path();
        CQtUserPrompts prompts;
        const auto path = prompts.AskSavePath(request);
        ASSERT_TRUE(path) << saved;
        EXPECT_EQ(path->filename(), saved);
    }
}

} // namespace
} // namespace linlangok
