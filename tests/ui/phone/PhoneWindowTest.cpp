#include "ui/phone/PhoneWindow.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/http/HttplibServer.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/qrcode/QrencodeEncoder.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/desktop/QtUiThreadPoster.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

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
// UI thread through the picker, and the phones then rank as the 点歌 window does, the song sung
// first; the code goes to the stage between songs; stopped, it is gone.
TEST(PhoneWindowTest, StartedServerTakesAPickRanksAsTheCatalogWindowAndStopsWithTheWindow)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path database = folder.Path() / "Catalog.db";
    CSqliteCatalogStore store(database);
    CatalogChanges changes;
    for (const char16_t* singer : {u"甲", u"乙"}) {
        CatalogSong& song = changes.added.emplace_back();
        song.path = folder.Path() / (std::u16string(singer) + u".mp3");
        song.title = u"晴天";
        song.singer = singer;
        song.titleReadings = "qing tian";
    }
    store.Apply(changes);
    CIcuTextReadings readings;
    CQrencodeEncoder encoder;
    const PhoneServices phone {[] { return std::make_unique<CHttplibServer>(); }, encoder,
        [] { return std::vector<std::string> {"127.0.0.1"}; }, {}};
    test::CScriptedUserPrompts prompts;
    CIdleHost host;
    test::CGrantedFileLocks locks;
    CSongPicker picker(store, host, prompts, locks, folder.Path() / "SongQueue.txt");
    const auto codePage = CreateLegacyCodePage();
    const CPathDisplay names(*codePage, NoEncodingDetection());
    const CatalogServices services {store,
        [database]() -> std::unique_ptr<ICatalogStore> { return std::make_unique<CSqliteCatalogStore>(database); }, {},
        readings, readings, names, folder.Path() / "SongQueue.txt"};
    CQtUiThreadPoster uiThread(*QCoreApplication::instance());
    CCatalogService catalogue(CatalogueParts(services, uiThread));
    picker.SetSungHandler([&catalogue](std::int64_t id) { catalogue.CountSung(id); });
    CCatalogWindow catalogWindow(CatalogWindowParts {picker, catalogue, services, prompts, [] { return true; }});
    catalogWindow.Refresh(false);
    QImage onStage;
    CPhoneWindow window(PhoneWindowParts {
        phone, picker, host, [] { return true; }, catalogue, [&onStage](const QImage& code) { onStage = code; }});
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catalogue.IsBusy(); }));
    auto pick = std::async(std::launch::async, [&client] {
        const httplib::Result result = client.Post("/api/pick", "{\"id\":2}", "application/json");
        return result ? result->status : 0;
    });
    // Nothing plays: the pick starts at once, as the 点歌 window's does.
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.Queue().Current().has_value(); }));
    EXPECT_EQ(pick.get(), 200);
    EXPECT_EQ(picker.Queue().Current()->performer, u"客人1");
    const httplib::Result ranked = client.Get("/api/search?q=qt");
    ASSERT_TRUE(ranked);
    EXPECT_LT(ranked->body.find("\"id\":2"), ranked->body.find("\"id\":1")) << ranked->body;
    catalogWindow.SearchBox()->setText(QStringLiteral("qt"));
    EXPECT_EQ(catalogWindow.Results()->model()->index(0, 1).data().toString(), QStringLiteral("乙"));

    window.findChild<QCheckBox*>()->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !onStage.isNull(); }));
    window.Stop();
    EXPECT_TRUE(onStage.isNull());
    EXPECT_FALSE(client.Get("/api/state"));
}

} // namespace
} // namespace linlangok
