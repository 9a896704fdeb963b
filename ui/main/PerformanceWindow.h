#pragma once

#include "ui/widgets/DialogTemplate.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QPushButton;
class QSlider;

namespace linlangok {

class CPerformanceController;
class CPerformanceTake;
class CVoiceEffectChoice;
struct SessionServices;

// The modal "保存演唱" window: the alignment, the balance slider between "伴奏" and "人声", and
// the 试听, 保存演唱... and 关闭 buttons, laid out in dialog units; every command goes to the
// controller, which outlives the window. Esc and the close box close it as 关闭 does. UI thread.
class CPerformanceWindow final : public QDialog {
    Q_OBJECT
public:
    explicit CPerformanceWindow(CPerformanceController& controller, QWidget* parent = nullptr);

    // The control with the identifier, or null.
    QWidget* Control(int id) const { return m_controls.Control(id); }

protected:
    void reject() override; // Esc, the close box and 关闭

private:
    // The audition button's text, and the poll that notices the audition's end while it plays.
    void ShowAudition();

    CPerformanceController& m_controller;
    CDialogControls m_controls;
    QSlider* m_balance = nullptr;
    QPushButton* m_audition = nullptr;
    QTimer m_auditionPoll;
};

// Shows the performance window for the take, modal to `parent`, until the user closes it: the
// audition plays through the session's audio output, the mix is saved through its MP3 encoder,
// the audition's file lies in its program folder.
void RunPerformanceWindow(std::unique_ptr<CPerformanceTake> take, const SessionServices& services,
    CVoiceEffectChoice* voiceEffect, QWidget* parent);

} // namespace linlangok
