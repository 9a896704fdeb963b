#include "ui/phone/PhoneWindow.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/http/HttplibServer.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/qrcode/QrencodeEncoder.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

#include <future>

namespace linlangok {
namespace {

class CIdleHost final : public IPhoneHostControls, public ISongStarter {
public:
    bool IsPlaying() const override { return false; }
    void TogglePlay() override { }
    void StepPitch(int) override { }
    void StartSong(const std::filesystem::path&) override { }
};

// Started from the window, the server answers the QR code's address; a phone's pick runs on the
// UI thread through the picker; the code goes to the stage between songs; stopped, it is gone.
TEST(PhoneWindowTest, StartedServerTakesAPickAndStopsWithTheWindow)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path database = folder.Path() / "Catalog.db";
    CSqliteCatalogStore store(database);
    CatalogChanges changes;
    CatalogSong& song = changes.added.emplace_back();
    song.path = folder.Path() / "晴天.mp3";
    song.title = u"晴天";
    song.titleReadings = "qing tian";
    store.Apply(changes);
    CIcuTextReadings readings;
    CQrencodeEncoder encoder;
    const PhoneServices phone {[] { return std::make_unique<CHttplibServer>(); }, encoder,
        [] { return std::vector<std::string> {"127.0.0.1"}; }, {}};
    test::CScriptedUserPrompts prompts;
    CIdleHost host;
    test::CGrantedFileLocks locks;
    CSongPicker picker(store, host, prompts, locks, folder.Path() / "SongQueue.txt");
    QImage onStage;
    CPhoneWindow window(PhoneWindowParts {phone, picker, host, [] { return true; },
        [database]() -> std::unique_ptr<ICatalogStore> { return std::make_unique<CSqliteCatalogStore>(database); },
        readings, [&onStage](const QImage& code) { onStage = code; }});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.findChild<QSpinBox*>()->setValue(0);
    window.Start();
    ASSERT_TRUE(window.IsRunning());
    const std::string url = window.Url();
    const size_t port = url.find(':', 7) + 1;
    ASSERT_EQ(url.substr(url.find("/?k=") + 4), window.Service()->Token());
    httplib::Client client("127.0.0.1", std::stoi(url.substr(port)));
    // The page from the code's address gives the phone its session.
    const httplib::Result page = client.Get(url.substr(url.find("/?k=")));
    ASSERT_TRUE(page);
    const std::string session = page->get_header_value("Set-Cookie", 1);
    client.set_default_headers({{"Cookie", "k=" + window.Service()->Token() + "; " + session.substr(0, 34)}});
    // It listens on the address chosen in the window, not on every one.
    EXPECT_FALSE(httplib::Client("127.0.0.2", std::stoi(url.substr(port))).Get("/"));
    // Searched every 100 ms until the catalogue has loaded, below the rate limit.
    std::string found;
    for (int tries = 0; tries < 50 && found.find("晴天") == std::string::npos; ++tries) {
        QTest::qWait(100);
        const httplib::Result result = client.Get("/api/search?q=qt");
        found = result ? result->body : "no answer";
    }
    ASSERT_NE(found.find("晴天"), std::string::npos) << found;
    auto pick = std::async(std::launch::async, [&client] {
        const httplib::Result result = client.Post("/api/pick", "{\"id\":1}", "application/json");
        return result ? result->status : 0;
    });
    // Nothing plays: the pick starts at once, as the 点歌 window's does.
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.Queue().Current().has_value(); }));
    EXPECT_EQ(pick.get(), 200);
    EXPECT_EQ(picker.Queue().Current()->performer, u"客人1");

    window.findChild<QCheckBox*>()->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !onStage.isNull(); }));
    window.Stop();
    EXPECT_TRUE(onStage.isNull());
    EXPECT_FALSE(client.Get("/api/state"));
}

} // namespace
} // namespace linlangok
