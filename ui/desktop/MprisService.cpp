#include "ui/desktop/MprisService.h"

#include "common/Product.h"
#include "common/Text.h"
#include "ui/widgets/QtText.h"

#include <QApplication>
#include <QDBusMessage>
#include <QTimer>
#include <QUrl>

namespace linlangok {
namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.linlangok");

} // namespace

CMprisService::CMprisService(IMediaPlayer& player, QDBusConnection connection)
    : m_player(player)
    , m_connection(std::move(connection))
{
    new CMprisRootAdaptor(*this);
    new CMprisPlayerAdaptor(*this);
    if (!m_connection.isConnected() || !m_connection.registerObject(kObjectPath, this))
        return;
    // A second copy of the program takes a name of its own, as MPRIS asks.
    for (const QString& name :
        {kBusName, kBusName + QStringLiteral(".instance") + QString::number(QApplication::applicationPid())}) {
        if (m_connection.registerService(name)) {
            m_serviceName = name;
            break;
        }
    }
    if (m_serviceName.isEmpty())
        m_connection.unregisterObject(kObjectPath);
    m_sentProperties = PlayerProperties();
}

CMprisService::~CMprisService()
{
    if (m_serviceName.isEmpty())
        return;
    m_connection.unregisterService(m_serviceName);
    m_connection.unregisterObject(kObjectPath);
}

void CMprisService::Refresh()
{
    if (m_serviceName.isEmpty())
        return;
    const QVariantMap properties = PlayerProperties();
    QVariantMap changed;
    for (auto property = properties.begin(); property != properties.end(); ++property) {
        if (m_sentProperties.value(property.key()) != property.value())
            changed.insert(property.key(), property.value());
    }
    m_sentProperties = properties;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_connection.send(signal);
}

void CMprisService::Command(std::function<void(IMediaPlayer&)> command)
{
    QTimer::singleShot(0, this, [this, command = std::move(command)] {
        if (!QApplication::activeModalWidget())
            command(m_player);
    });
}

QString CMprisService::PlaybackStatus() const
{
    return m_player.IsPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap CMprisService::Metadata() const
{
    const MediaTrack track = m_player.Track();
    if (track.path.empty())
        return {{QStringLiteral("mpris:trackid"),
            QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    const QString path = ToQString(PathToUtf16(track.path));
    QVariantMap metadata {
        {QStringLiteral("mpris:trackid"),
            QVariant::fromValue(
                QDBusObjectPath(QStringLiteral("/org/linlangok/song/") + QString::number(qHash(path))))},
        {QStringLiteral("xesam:title"), ToQString(track.title)},
        {QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString()},
    };
    if (track.lengthMicroseconds > 0)
        metadata.insert(QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(track.lengthMicroseconds));
    return metadata;
}

bool CMprisService::CanGoNext() const
{
    return m_player.CanPlayNeighbour(+1);
}

bool CMprisService::CanGoPrevious() const
{
    return m_player.CanPlayNeighbour(-1);
}

// The properties whose changes are announced (Position is not, as MPRIS says).
QVariantMap CMprisService::PlayerProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("CanGoNext"), CanGoNext()},
        {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
    };
}

CMprisRootAdaptor::CMprisRootAdaptor(CMprisService& service)
    : QDBusAbstractAdaptor(&service)
    , m_service(service)
{
}

QString CMprisRootAdaptor::Identity() const
{
    return ToQString(kProductName);
}

QStringList CMprisRootAdaptor::SupportedMimeTypes() const
{
    return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-wav"), QStringLiteral("audio/mpeg")};
}

void CMprisRootAdaptor::Raise()
{
    m_service.Command([](IMediaPlayer& player) { player.Raise(); });
}

void CMprisRootAdaptor::Quit()
{
    m_service.Command([](IMediaPlayer& player) { player.Quit(); });
}

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisService& service)
    : QDBusAbstractAdaptor(&service)
    , m_service(service)
{
}

void CMprisPlayerAdaptor::Play()
{
    m_service.Command([](IMediaPlayer& player) {
        if (!player.IsPlaying())
            player.Play();
    });
}

void CMprisPlayerAdaptor::Pause()
{
    Stop();
}

void CMprisPlayerAdaptor::PlayPause()
{
    m_service.Command([](IMediaPlayer& player) {
        if (player.IsPlaying())
            player.Stop();
        else
            player.Play();
    });
}

void CMprisPlayerAdaptor::Stop()
{
    m_service.Command([](IMediaPlayer& player) {
        if (player.IsPlaying())
            player.Stop();
    });
}

void CMprisPlayerAdaptor::Next()
{
    m_service.Command([](IMediaPlayer& player) {
        if (player.CanPlayNeighbour(+1))
            player.PlayNeighbour(+1);
    });
}

void CMprisPlayerAdaptor::Previous()
{
    m_service.Command([](IMediaPlayer& player) {
        if (player.CanPlayNeighbour(-1))
            player.PlayNeighbour(-1);
    });
}

void CMprisPlayerAdaptor::OpenUri(const QString& uri)
{
    const QUrl url(uri);
    if (url.isLocalFile())
        m_service.Command([path = ToPath(url.toLocalFile())](IMediaPlayer& player) { player.PlayFile(path); });
}

} // namespace linlangok
