#include "ui/catalog/CatalogWindow.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/tags/SongFileReader.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

class CRecordingStarter final : public ISongStarter {
public:
    void StartSong(const std::filesystem::path& path) override { started.push_back(path); }
    std::vector<std::filesystem::path> started;
};

TEST(CatalogWindowTest, TypedInitialsFindSongsThatEnterQueuesAndSkipStarts)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path songs = folder.Path() / "歌库";
    std::filesystem::create_directories(songs / "周杰伦");
    for (const char* name : {"邓丽君 - 月亮代表我的心.wav", "周杰伦/周杰伦 - 晴天.wav", "周杰伦/稻香(周杰伦).wav"})
        test::WriteWavFile(songs / name, std::vector<std::int16_t>(4410 * 2));
    CIcuTextReadings readings;
    const auto codePage = CreateLegacyCodePage();
    const std::filesystem::path database = folder.Path() / "Catalog.db";
    CSqliteCatalogStore store(database);
    const CatalogServices services {store,
        [database]() -> std::unique_ptr<ICatalogStore> { return std::make_unique<CSqliteCatalogStore>(database); },
        [&codePage]() -> std::unique_ptr<ISongReader> {
            return std::make_unique<CSongFileReader>(*codePage, NoEncodingDetection(), std::filesystem::path());
        },
        readings, readings, folder.Path() / "SongQueue.txt"};
    test::CScriptedUserPrompts prompts;
    CRecordingStarter starter;
    CSongPicker picker(store, starter, prompts, services.queueFile);
    CCatalogWindow window(CatalogWindowParts {picker, services, prompts, [] { return false; }});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy ready(&window, &CCatalogWindow::catalogueReady);
    window.AddFolder(songs);
    ASSERT_TRUE(ready.wait(20000));
    EXPECT_EQ(window.Index().Size(), 3u);

    QTest::keyClicks(window.SearchBox(), QStringLiteral("zjl"));
    ASSERT_EQ(window.Results()->model()->rowCount(), 2);
    QTest::keyClick(window.SearchBox(), Qt::Key_Down);
    const QString second = window.Results()->currentIndex().data().toString();
    QTest::keyClick(window.SearchBox(), Qt::Key_Return);
    window.SearchBox()->clear();
    window.SearchBox()->setText(QStringLiteral("鄧麗君"));
    ASSERT_EQ(window.Results()->model()->rowCount(), 1);
    QTest::keyClick(window.SearchBox(), Qt::Key_Enter);
    ASSERT_EQ(window.QueueList()->count(), 2);
    EXPECT_TRUE(window.QueueList()->item(0)->text().startsWith(second));
    EXPECT_TRUE(starter.started.empty());

    picker.Skip();
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(window.QueueList()->count(), 1);
    EXPECT_EQ(window.QueueList()->item(0)->text(), QStringLiteral("月亮代表我的心 - 邓丽君"));
    EXPECT_EQ(window.Index().Find(picker.Queue().Current()->songId)->timesSung, 1);
    EXPECT_TRUE(prompts.m_messages.empty());
}

} // namespace
} // namespace linlangok
