#include "ui/desktop/MprisService.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.linlangok");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

struct CFakePlayer final : IMediaPlayer {
    bool IsPlaying() const override { return playing; }
    void Play() override { playing = true; }
    void Stop() override { playing = false; }
    void PlayFile(const std::filesystem::path& path) override { played.push_back(path.string()); }
    bool CanPlayNeighbour(int step) const override { return row + step >= 0 && row + step < 2; }
    void PlayNeighbour(int step) override { row += step; }
    MediaTrack Track() const override { return {"/songs/茉莉花.mid", u"茉莉花", playing ? 90'000'000 : 0}; }
    int64_t PositionMicroseconds() const override { return playing ? 1'500'000 : 0; }
    void Raise() override { ++raised; }
    void Quit() override { ++quit; }

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
        // The player answers on this thread's event loop.
        return m_bus.call(call, QDBus::BlockWithGui);
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

    // While a modal box is open, commands from outside are ignored, as clicks are.
    QDialog box;
    box.setModal(true);
    box.show();
    panel.Call(kPlayer, QStringLiteral("Stop"));
    QTest::qWait(50);
    EXPECT_TRUE(player.playing);
    box.hide();

    panel.Call(kPlayer, QStringLiteral("Next"));
    panel.Call(kPlayer, QStringLiteral("Next")); // the list has two songs
    panel.Call(kPlayer, QStringLiteral("Pause")); // a take cannot pause: it stops
    panel.Call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("file:///songs/b.mid")});
    panel.Call(kRoot, QStringLiteral("Raise"));
    panel.Call(kRoot, QStringLiteral("Quit"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.quit == 1; }));
    EXPECT_EQ(player.row, 1);
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(player.played, std::vector<std::string> {"/songs/b.mid"});
    EXPECT_EQ(player.raised, 1);

    // A second copy of the program takes a name of its own.
    CMprisService second(player, panel.Bus());
    EXPECT_TRUE(second.ServiceName().startsWith(kService + QStringLiteral(".instance")));
}

} // namespace
} // namespace linlangok

#include "MprisServiceTest.moc"
