#include "ui/desktop/MprisService.h"

#include "common/FilePath.h"
#include "common/Product.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "ui/desktop/QtUserPrompts.h"
#include "ui/widgets/QtText.h"

#include <QApplication>
#include <QDBusMessage>
#include <QUrl>

#include <unistd.h>

namespace linlangok {
namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.linlangok");
// How often the pending commands look again whether the box has closed.
constexpr int kPendingWaitMilliseconds = 100;
constexpr int kHandOverTimeoutMilliseconds = 5000;
// A URI in a message is cut to this many characters: a caller may send megabytes.
constexpr qsizetype kShownUriLength = 200;

QString Refusal(const QString& name, const char* reason)
{
    return QCoreApplication::translate("MprisService", "不能打开“%1”：%2")
        .arg(name, QCoreApplication::translate("MprisService", reason));
}

} // namespace

std::optional<QString> SongFileRefusal(const std::filesystem::path& path)
{
    const QString name = ToQString(PathToUtf16(path.filename()));
    if (!IsSongFileName(PathToUtf16(path)))
        return Refusal(name, QT_TRANSLATE_NOOP("MprisService", "只能打开 MIDI、KAR、WAV 或 MP3 歌曲"));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return Refusal(name, QT_TRANSLATE_NOOP("MprisService", "文件不存在"));
    if (!std::filesystem::is_regular_file(status))
        return Refusal(name, QT_TRANSLATE_NOOP("MprisService", "不是普通文件"));
    if (::access(path.c_str(), R_OK) != 0)
        return Refusal(name, QT_TRANSLATE_NOOP("MprisService", "没有读取权限"));
    if (!IsSongFile(path))
        return Refusal(name, QT_TRANSLATE_NOOP("MprisService", "不是 UltraStar 歌曲文件"));
    return std::nullopt;
}

HandOverResult HandOverToRunningCopy(const std::optional<std::filesystem::path>& song, QDBusConnection connection)
{
    if (!connection.isConnected())
        return {};
    const auto call = [&connection](const QString& interface, const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(kBusName, kObjectPath, interface, method);
        message.setArguments(arguments);
        message.setAutoStartService(false);
        return connection.call(message, QDBus::Block, kHandOverTimeoutMilliseconds);
    };
    if (call(kRootInterface, QStringLiteral("Raise"), {}).type() != QDBusMessage::ReplyMessage)
        return {};
    if (!song)
        return {EHandOver::Handed, {}};
    const QDBusMessage reply
        = call(kPlayerInterface, QStringLiteral("OpenUri"), {QString::fromStdString(FileUriOfPath(*song))});
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {EHandOver::Handed, {}};
    return {EHandOver::Refused, reply.errorMessage()};
}

CMprisService::CMprisService(IMediaPlayer& player, CQtUserPrompts* prompts, QDBusConnection connection)
    : m_player(player)
    , m_prompts(prompts)
    , m_connection(std::move(connection))
{
    m_pendingTimer.setSingleShot(true);
    connect(&m_pendingTimer, &QTimer::timeout, this, &CMprisService::RunPendingCommands);
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
    if (m_pending.size() >= kMaxPendingCommands) {
        Refuse(QDBusError::LimitsExceeded, tr("太多的命令在等待当前的对话框关闭"));
        return;
    }
    m_pending.push_back(std::move(command));
    m_pendingTimer.start(0);
}

void CMprisService::RunPendingCommands()
{
    // A command that raised a box goes on with the rest when it is done.
    if (m_runningCommand)
        return;
    while (!m_pending.empty()) {
        if (QApplication::activeModalWidget() || m_player.IsBusy()) {
            m_pendingTimer.start(kPendingWaitMilliseconds);
            return;
        }
        const std::function<void(IMediaPlayer&)> command = std::move(m_pending.front());
        m_pending.pop_front();
        m_runningCommand = true;
        if (m_prompts)
            m_prompts->SetReportSink([this](const MessageRequest& report) { ShowFailure(ToQString(report.text)); });
        command(m_player);
        if (m_prompts)
            m_prompts->SetReportSink(nullptr);
        m_runningCommand = false;
    }
}

void CMprisService::OpenUri(const QString& uri)
{
    const std::optional<std::filesystem::path> path = PathOfFileUri(QUrl(uri).toEncoded().toStdString());
    const QString shownUri = uri.size() > kShownUriLength ? uri.left(kShownUriLength) + u'…' : uri;
    const std::optional<QString> refusal
        = path ? SongFileRefusal(*path) : Refusal(shownUri, QT_TRANSLATE_NOOP("MprisService", "只能打开本机上的文件"));
    if (!refusal) {
        Command([path = *path](IMediaPlayer& player) { player.PlayFile(path); });
        return;
    }
    Refuse(QDBusError::InvalidArgs, *refusal);
    ShowFailure(*refusal);
}

void CMprisService::Refuse(QDBusError::ErrorType error, const QString& text)
{
    if (calledFromDBus())
        sendErrorReply(error, text);
}

void CMprisService::ShowFailure(const QString& text)
{
    m_player.ShowNotice(text.toStdU16String());
    if (!m_connection.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("Notify"));
    notify.setAutoStartService(false);
    notify << ToQString(ProductName()) << 0u << QStringLiteral("linlangok") << ToQString(ProductName()) << text
           << QStringList() << QVariantMap() << -1;
    // Sent without waiting: a notification server that does not answer holds nothing.
    m_connection.send(notify);
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
        {QStringLiteral("xesam:url"), UrlOfPath(track.path).toString()},
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
    return ToQString(ProductName());
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

} // namespace linlangok
