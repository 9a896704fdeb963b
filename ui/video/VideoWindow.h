#pragma once

#include "core/controller/MainCommand.h"
#include "core/picture/SongPicture.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QMenu;
class QPushButton;

namespace linlangok {

class CKaraokeSession;
class CResizableWindow;

struct VideoWindowParts {
    CKaraokeSession& session; // the picture, the time heard, where the vocal is
    IMainCommands& controller; // the timers' rule, the playing flag and the 原唱/伴唱 switch
};

// Paints the picture it is given, letterboxed on black, or a line of text without one.
class CPictureView final : public QWidget {
public:
    explicit CPictureView(QWidget* parent);

    // Repaints only when the picture or the text changed.
    void Show(std::shared_ptr<const SongFrame> picture, const QString& text);
    const std::shared_ptr<const SongFrame>& Picture() const { return m_picture; }
    const QString& Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const SongFrame> m_picture;
    QString m_text;
};

// The video window "视频": the song's picture (a video's frames) at the song time heard, and
// under it the 原唱/伴唱 switch, which shows what is heard, beside where the original vocal is.
// Its context menu switches, chooses where the vocal is (the song remembers it) and opens the
// stage view. While shown, a timer reads the session every kFramePeriod (skipped while a song
// loads) and repaints when another picture is due. Closing it only hides it. Resizable down to
// its initial size; its size is written at exit. The parts outlive the window. UI thread.
class CVideoWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFramePeriod = 15; // milliseconds

    explicit CVideoWindow(const VideoWindowParts& parts, QWidget* owner = nullptr);
    ~CVideoWindow() override;

    const CResizableWindow& Resizer() const { return *m_resizer; }
    CPictureView& PictureView() const { return *m_view; }
    QPushButton* VocalSwitch() const { return m_vocalSwitch; }
    QLabel* VocalPlace() const { return m_vocalPlace; }

    // The timer's work.
    void FrameTick();
    // Where the vocal of the current song may be, as checkable items that choose it.
    void AddVocalLayoutItems(QMenu& menu);
    // The context menu, as a right click opens it.
    std::unique_ptr<QMenu> MakeContextMenu();

signals:
    // The context menu's 舞台视图.
    void stageViewRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The switch and the place as the session has them now.
    void ShowVocalState();

    VideoWindowParts m_parts;
    CPictureView* m_view = nullptr;
    QPushButton* m_vocalSwitch = nullptr;
    QLabel* m_vocalPlace = nullptr;
    QTimer m_frameTimer;
    CResizableWindow* m_resizer = nullptr; // a child of the window
};

} // namespace linlangok
