#pragma once

#include <QObject>

class QSocketNotifier;

namespace linlangok {

// Turns SIGTERM and SIGINT into a Qt signal on the UI thread, so that logging out of the desktop
// or Ctrl+C closes the program the way its menu does, with the settings saved. The handler only
// writes a byte to a socket pair that the event loop watches. One watcher per process.
class CTerminationSignalWatcher final : public QObject {
    Q_OBJECT
public:
    explicit CTerminationSignalWatcher(QObject* parent = nullptr);
    ~CTerminationSignalWatcher() override;

signals:
    void terminationRequested();

private:
    void OnSignalByte();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace linlangok
