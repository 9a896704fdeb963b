#pragma once

#include "core/controller/MainController.h"
#include "core/recording/LevelMeterCapture.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace linlangok {

// The input level meter on the main window: two bars with held markers, painted from the
// capture's levels. A UI-thread timer reads the levels; the capture thread never touches the
// widget.
class CInputLevelMeterWidget final : public QWidget, public ILevelMeterControl {
public:
    // `system` and `prompts` outlive the widget.
    CInputLevelMeterWidget(IWaveInSystem& system, IUserPrompts& prompts, QWidget* parent);
    ~CInputLevelMeterWidget() override;

    void Start() override;
    void Stop() override;
    bool IsRunning() const { return m_capture->IsRunning(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    static constexpr int kRefreshMilliseconds = 33;

    // Repaints when the levels have changed since the last paint.
    void Refresh();

    std::unique_ptr<CInputLevelMeterCapture> m_capture;
    QTimer m_refresh;
    QColor m_background = Qt::black;
    MeterLevels m_paintedLevels;
    MeterLevels m_paintedHeld;
};

} // namespace linlangok
