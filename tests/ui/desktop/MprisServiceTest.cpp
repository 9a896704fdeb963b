#include "ui/desktop/MprisService.h"
#include "tests/support/TemporaryFolder.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDialog>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace linlangok {
namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.linlangok");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr int kReplyMilliseconds = 10000;

struct CFakePlayer final : IMediaPlayer {
    bool IsPlaying() const override { return playing; }
    void Play() override { playing = true; }
    void Stop() override { playing = false; }
    void PlayFile(const std::filesystem::path& path) override { played.push_back(path.string()); }
    bool CanPlayNeighbour(int step) const override { return row + step >= 0 && row + step < 2; }
    void PlayNeighbour(int step) override { row += step; }
    MediaTrack Track() const override { return {"/songs/茉莉花.mid", u"茉莉花", playing ? 90'000'000 : 0}; }
    std::int64_t PositionMicroseconds() const override { return playing ? 1'500'000 : 0; }
    void Raise() override { ++raised; }
    void Quit() override { ++quit; }
    bool IsBusy() const override { return busy; }
    void ShowNotice(std::u16string_view) override { ++notices; }

    int notices = 0;
    bool busy = false;
    bool playing = false;
    int row = 0;
    int raised = 0;
    int quit = 0;
    std::vector<std::string> played;
};

// A panel: its own connection to the bus, calling the player and hearing what changes.
class CPanel final : public QObject {
    Q_OBJECT
public:
    CPanel()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel")))
    {
        m_bus.connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), this, SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
    }
    ~CPanel() override { QDBusConnection::disconnectFromBus(QStringLiteral("panel")); }

    QDBusConnection& Bus() { return m_bus; }

    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        call.setArguments(arguments);
        // The player answers on this thread's event loop. Qt's own blocking wait was seen to miss a
        // reply under the thread sanitizer and wait for ever; this one ends at its deadline.
        QDBusPendingCall pending = m_bus.asyncCall(call, kReplyMilliseconds);
        if (!QTest::qWaitFor([&pending] { return pending.isFinished(); }, kReplyMilliseconds))
            return QDBusMessage::createError(QDBusError::Timeout, QStringLiteral("no reply"));
        return pending.reply();
    }
    QVariant Get(const QString& interface, const QString& property)
    {
        const QDBusMessage reply
            = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, property});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    static QVariantMap Map(const QVariant& value)
    {
        if (!value.canConvert<QDBusArgument>())
            return value.toMap();
        QVariantMap map;
        value.value<QDBusArgument>() >> map;
        return map;
    }

    QVariantMap changed;

public slots:
    void PropertiesChanged(const QString&, const QVariantMap& properties, const QStringList&)
    {
        changed.insert(properties);
    }

private:
    QDBusConnection m_bus;
};

class MprisServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session D-Bus: run under dbus-run-session";
    }
};

TEST_F(MprisServiceTest, MediaKeysControlThePlayerAndPanelsSeeTheSong)
{
    CFakePlayer player;
    CMprisService service(player);
    ASSERT_EQ(service.ServiceName(), kService);
    CPanel panel;
    EXPECT_EQ(panel.Get(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("琳朗卡拉OK"));
    EXPECT_EQ(panel.Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_FALSE(panel.Get(kPlayer, QStringLiteral("CanGoPrevious")).toBool());

    panel.Call(kPlayer, QStringLiteral("PlayPause"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playing; }));
    service.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.changed.contains(QStringLiteral("PlaybackStatus")); }));
    EXPECT_EQ(panel.changed.value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    const QVariantMap metadata = CPanel::Map(panel.changed.value(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("茉莉花"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 90'000'000);
    EXPECT_EQ(panel.Get(kPlayer, QStringLiteral("Position")).toLongLong(), 1'500'000);

    // While a modal box is open or a command of the window is half done, commands wait; beyond a
    // limit they are refused.
    QDialog box;
    box.setModal(true);
    box.show();
    for (std::size_t command = 0; command < CMprisService::kMaxPendingCommands; ++command)
        EXPECT_EQ(panel.Call(kPlayer, QStringLiteral("Stop")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(panel.Call(kPlayer, QStringLiteral("Stop")).errorName(),
        QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));
    player.busy = true;
    box.hide();
    QTest::qWait(250);
    EXPECT_TRUE(player.playing);
    player.busy = false;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !player.playing; }));

    const QString song = QStringLiteral(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid");
    panel.Call(kPlayer, QStringLiteral("Next"));
    panel.Call(kPlayer, QStringLiteral("Next")); // the list has two songs
    panel.Call(kPlayer, QStringLiteral("Pause")); // a take cannot pause: it stops
    panel.Call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("file://localhost") + song});
    panel.Call(kRoot, QStringLiteral("Raise"));
    panel.Call(kRoot, QStringLiteral("Quit"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.quit == 1; }));
    EXPECT_EQ(player.row, 1);
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(player.played, std::vector<std::string> {song.toStdString()});
    EXPECT_EQ(player.raised, 1);

    // A second copy of the program takes a name of its own.
    CMprisService second(player, nullptr, panel.Bus());
    EXPECT_TRUE(second.ServiceName().startsWith(kService + QStringLiteral(".instance")));
}

TEST_F(MprisServiceTest, OpenUriOfFifoOrAnythingButALocalSongIsRefusedWithoutBlockingOrABox)
{
    const test::CTemporaryFolder folder;
    ASSERT_EQ(mkfifo((folder.Path() / "fifo.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder.Path() / "zero.wav");
    CFakePlayer player;
    CMprisService service(player);
    CPanel panel;
    for (const char* uri : {"file://%1/fifo.wav", "file://%1/zero.wav", "file://%1/missing.mp3", "file:///etc/shadow",
             "file://otherhost%1/bad.wav", "http://example.com/a.mid"})
        EXPECT_EQ(panel.Call(kPlayer, QStringLiteral("OpenUri"), {QString(uri).arg(folder.Path().c_str())}).errorName(),
            QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"))
            << uri;
    EXPECT_EQ(player.notices, 6);
}

TEST_F(MprisServiceTest, ASecondCopyHandsItsSongToTheFirstAndEnds)
{
    const test::CTemporaryFolder home;
    qputenv("LINLANGOK_HOME", home.Path().c_str());
    const std::string demo = test::ReadWholeFile(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid");
    const QString song = QString::fromStdString(home.WriteFile("a.mid", demo).string());
    const auto handOver = [](const QString& path) {
        QProcess second;
        second.start(QStringLiteral(LINLANGOK_APP), {path});
        if (!second.waitForFinished(20000)) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        return second.exitCode();
    };
    CPanel panel;
    const auto state = [&panel] {
        return CPanel::Map(panel.Get(kPlayer, QStringLiteral("Metadata"))).value(QStringLiteral("xesam:url")).toString()
            + panel.Get(kPlayer, QStringLiteral("PlaybackStatus")).toString();
    };
    QProcess running;
    running.start(QStringLiteral(LINLANGOK_APP), {song}); // picks its song
    ASSERT_TRUE(QTest::qWaitFor([&] { return state() == QStringLiteral("file://%1Stopped").arg(song); }, 20000));
    EXPECT_EQ(handOver(song), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state() == QStringLiteral("file://%1Playing").arg(song); }));
    EXPECT_EQ(handOver(QStringLiteral("/etc/shadow")), 1);
    // A song that fails to load opens no box there, which would hold the Quit until someone closed it.
    EXPECT_EQ(handOver(QString::fromStdString(home.WriteFile("c.wav", "RIFF").string())), 0);
    panel.Call(kRoot, QStringLiteral("Quit"));
    EXPECT_TRUE(running.waitForFinished(20000));
}

} // namespace
} // namespace linlangok

#include "MprisServiceTest.moc"
