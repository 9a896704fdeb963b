#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace linlangok {

// The song as a media panel shows it.
struct MediaTrack {
    std::filesystem::path path; // empty: no song
    std::u16string title;
    int64_t lengthMicroseconds = 0; // 0: not known yet
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
    virtual int64_t PositionMicroseconds() const = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
};

// The player on the session D-Bus as an MPRIS media player ("org.mpris.MediaPlayer2.linlangok"),
// so that media keys, panels and lock screens control it and show the song. A karaoke take has
// no pause: Pause stops, and PlayPause plays or stops. A command is answered at once and carried
// out from the event loop afterwards, so that a message box it raises does not hold the caller;
// while a modal box is open, commands are ignored, as the windows ignore clicks then. Without a
// session bus the service stays unregistered and the program runs as before. Refresh, called on
// the display tick, sends PropertiesChanged for what changed. UI thread.
class CMprisService final : public QObject {
    Q_OBJECT
public:
    explicit CMprisService(IMediaPlayer& player, QDBusConnection connection = QDBusConnection::sessionBus());
    ~CMprisService() override;

    // The bus name taken, or empty when no bus could be reached.
    const QString& ServiceName() const { return m_serviceName; }
    void Refresh();
    // Carries the command out once the event loop runs again, unless a modal box is open then.
    void Command(std::function<void(IMediaPlayer&)> command);

    IMediaPlayer& Player() const { return m_player; }
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;

private:
    QVariantMap PlayerProperties() const;

    IMediaPlayer& m_player;
    QDBusConnection m_connection;
    QString m_serviceName;
    QVariantMap m_sentProperties; // the properties as last announced
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
    void OpenUri(const QString& uri);

private:
    CMprisService& m_service;
};

} // namespace linlangok
