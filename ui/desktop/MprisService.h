#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace linlangok {

class CQtUserPrompts;

// The song as a media panel shows it.
struct MediaTrack {
    std::filesystem::path path; // empty: no song
    std::u16string title;
    std::int64_t lengthMicroseconds = 0; // 0: not known yet
};

// What desktop media keys and panels see of the player and ask of it. UI thread.
class IMediaPlayer {
public:
    virtual ~IMediaPlayer() = default;
    virtual bool IsPlaying() const = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    // Plays the file at once, as a double-click in the song list does.
    virtual void PlayFile(const std::filesystem::path& path) = 0;
    // Plays the song after (+1) or before (-1) the selected one of the open song list.
    virtual bool CanPlayNeighbour(int step) const = 0;
    virtual void PlayNeighbour(int step) = 0;
    virtual MediaTrack Track() const = 0;
    virtual std::int64_t PositionMicroseconds() const = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
    // Whether a command of the window is half done: a box it raised runs the event loop meanwhile.
    virtual bool IsBusy() const = 0;
    // Shows a message where it blocks nothing (the status display).
    virtual void ShowNotice(std::u16string_view text) = 0;
};

// Why the file cannot be handed to the player as a song, or nothing: it must be a regular file
// (after links) that may be read, named as a song the program plays. Nothing is opened, so a FIFO
// or a device never blocks.
std::optional<QString> SongFileRefusal(const std::filesystem::path& path);

enum class EHandOver {
    NoCopyRuns, // no bus, or no copy of the program answers on it
    Handed, // the running copy has the song and raised its window
    Refused, // the running copy refused the song
};

struct HandOverResult {
    EHandOver outcome = EHandOver::NoCopyRuns;
    QString refusal; // why, when refused
};

// Hands an absolute song path (or, with none, only the window) to the copy of the program that
// already runs on the bus, through its MPRIS player: the window is raised and the song played
// there. Waits a few seconds at most for the answers.
HandOverResult HandOverToRunningCopy(
    const std::optional<std::filesystem::path>& song, QDBusConnection connection = QDBusConnection::sessionBus());

// The player on the session D-Bus as an MPRIS media player ("org.mpris.MediaPlayer2.linlangok"),
// so that media keys, panels and lock screens control it and show the song. A karaoke take has
// no pause: Pause stops, and PlayPause plays or stops. A command is answered at once and carried
// out from the event loop afterwards, so that a message box it raises does not hold the caller.
// Any process on the bus may call, so nothing it asks may block or probe the program: OpenUri
// takes only a local song file (SongFileRefusal) and refuses anything else at once with an
// InvalidArgs error; the commands that arrive while a modal box is open or a command of the
// window is half done wait, in order, until it is over (beyond kMaxPendingCommands they are
// refused with LimitsExceeded). A remote command's failures and the songs refused never raise a
// box: they are shown in the status display and as a desktop notification
// (org.freedesktop.Notifications, when one runs). Without a session bus the service stays
// unregistered and the program runs as before. Refresh, called on the display tick, sends
// PropertiesChanged for what changed. UI thread.
class CMprisService final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxPendingCommands = 32;

    // With prompts, the reports of a command from outside go where they block nothing.
    explicit CMprisService(IMediaPlayer& player, CQtUserPrompts* prompts = nullptr,
        QDBusConnection connection = QDBusConnection::sessionBus());
    ~CMprisService() override;

    // The bus name taken, or empty when no bus could be reached.
    const QString& ServiceName() const { return m_serviceName; }
    void Refresh();
    // Carries the command out once the event loop runs again with no modal box open and no
    // command of the window half done, after those that came before it.
    void Command(std::function<void(IMediaPlayer&)> command);
    // Plays the song that a URI names, or refuses it.
    void OpenUri(const QString& uri);

    IMediaPlayer& Player() const { return m_player; }
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;

private:
    QVariantMap PlayerProperties() const;
    void RunPendingCommands();
    // Answers the D-Bus call being served with the error.
    void Refuse(QDBusError::ErrorType error, const QString& text);
    // In the status display and as a desktop notification.
    void ShowFailure(const QString& text);

    IMediaPlayer& m_player;
    CQtUserPrompts* m_prompts;
    QDBusConnection m_connection;
    QString m_serviceName;
    QVariantMap m_sentProperties; // the properties as last announced
    std::deque<std::function<void(IMediaPlayer&)>> m_pending;
    QTimer m_pendingTimer; // runs the pending commands, or looks again while a box is open
    bool m_runningCommand = false;
};

// org.mpris.MediaPlayer2: the application.
class CMprisRootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit CMprisRootAdaptor(CMprisService& service);

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const { return QStringLiteral("linlangok"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const;

public slots:
    void Raise();
    void Quit();

private:
    CMprisService& m_service;
};

// org.mpris.MediaPlayer2.Player: playback.
class CMprisPlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanControl)
    Q_PROPERTY(bool CanPause READ CanControl)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit CMprisPlayerAdaptor(CMprisService& service);

    QString PlaybackStatus() const { return m_service.PlaybackStatus(); }
    double Rate() const { return 1.0; }
    double Volume() const { return 1.0; }
    QVariantMap Metadata() const { return m_service.Metadata(); }
    qlonglong Position() const { return m_service.Player().PositionMicroseconds(); }
    bool CanGoNext() const { return m_service.CanGoNext(); }
    bool CanGoPrevious() const { return m_service.CanGoPrevious(); }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    // CanSeek is false: a take is sung from the start.
    void Seek(qlonglong) { }
    void SetPosition(const QDBusObjectPath&, qlonglong) { }
    void OpenUri(const QString& uri) { m_service.OpenUri(uri); }

private:
    CMprisService& m_service;
};

} // namespace linlangok
