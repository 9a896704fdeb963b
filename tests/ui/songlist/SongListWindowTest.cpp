#include "ui/songlist/SongListWindow.h"
#include "platform/collation/IcuCollator.h"
#include "tests/core/session/SessionRig.h"
#include "tests/ui/main/ApplicationRig.h"
#include "ui/main/MainWindow.h"
#include "ui/songlist/ListNameDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSizeGrip>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

class SongListWindowTest : public ::testing::Test {
protected:
    SongListWindowTest() { mainWindow.show(); }

    void Open()
    {
        window.reset();
        window = std::make_unique<CSongListWindow>(SongListWindowParts {mainWindow.Controller(), rig.prompts, desktop,
            rig.gbk, rig.session.Texts().PathDisplay(), collator, rig.home.Path(), "/help",
            Utf16ToPath(test::CSessionRig::DemoSong())});
        companions.songList = window.get();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::filesystem::path ListFile(const std::string& name) const
    {
        return rig.home.Path() / "PlayList" / std::filesystem::u8path(name + ".kpl");
    }
    SongList ReadList(const std::string& name)
    {
        SongList list;
        EXPECT_TRUE(LoadList(ListFile(name), rig.gbk, list, rig.prompts)) << name;
        return list;
    }

    QPushButton* Button(int id) const { return static_cast<QPushButton*>(window->Control(id)); }
    void Click(int id) const { Button(id)->click(); }
    QComboBox* Lists() const { return static_cast<QComboBox*>(window->Control(kListComboBox)); }
    QListWidget* Songs() const { return static_cast<QListWidget*>(window->Control(kSongListBox)); }

    // The items of the list chooser or of the song box.
    static std::vector<std::string> Items(const QAbstractItemModel* items)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < items->rowCount(); ++row)
            texts.push_back(items->index(row, 0).data().toString().toStdString());
        return texts;
    }
    std::vector<std::string> ListNames() const { return Items(Lists()->model()); }
    std::vector<std::string> SongNames() const { return Items(Songs()->model()); }
    std::string CurrentList() const { return Lists()->currentText().toStdString(); }

    void ChooseList(const char* name) const
    {
        const int index = Lists()->findText(QString::fromUtf8(name));
        Lists()->setCurrentIndex(index);
        emit Lists()->activated(index);
    }

    // Runs the command with the name dialog answered: the name typed and OK, or Cancel. Returns
    // the dialog's title and its edit field's identifier.
    std::string WithName(int command, std::optional<QString> name)
    {
        std::string seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CListNameDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* edit = dialog->findChild<QLineEdit*>();
            seen = dialog->windowTitle().toStdString() + " " + edit->objectName().toStdString();
            if (name) {
                edit->setText(*name);
                QTest::keyClick(edit, Qt::Key_Return);
            } else {
                dialog->reject();
            }
        });
        Click(command);
        return seen;
    }

    void AddFolder(const std::filesystem::path& folder)
    {
        rig.prompts.m_paths.push_back(folder);
        Click(kAddFolderButton);
        for (int turns = 0; window->IsAddingFolder() && turns < 10000; ++turns)
            QApplication::processEvents();
        ASSERT_FALSE(window->IsAddingFolder());
    }

    QPoint SongCentre(int row) const { return Songs()->visualItemRect(Songs()->item(row)).center(); }

    test::CSessionRig rig;
    const CIcuCollator collator;
    test::CRecordingDesktop desktop;
    test::CFakeWaveIn meterInput; // the recorder has the rig's
    CompanionWindows companions;
    CMainWindow mainWindow {MainWindowParts {rig.session, rig.prompts, desktop, meterInput, companions, "/help"}};
    std::unique_ptr<CSongListWindow> window;
};

TEST_F(SongListWindowTest, TheFirstStartMakesADefaultListWithTheDemoSongAndTheControlsFit)
{
    Open();
    EXPECT_EQ(ListNames(), std::vector<std::string> {"默认列表"});
    EXPECT_EQ(SongNames(), std::vector<std::string> {"jasmine.mid"});
    EXPECT_EQ(ReadList("默认列表"),
        (SongList {0, {}, {SongRecordOfPath(test::CSessionRig::DemoSong(), rig.session.Texts().PathDisplay())}}));
    Open(); // a list exists: nothing is made
    EXPECT_EQ(SongNames(), std::vector<std::string> {"jasmine.mid"});

    test::ExpectTextsFitAndControlsNamed(*window);
    Click(kSongSearchButton);
    Click(kSongListHelpButton);
    EXPECT_EQ(desktop.pages, std::vector<std::u16string> {u"https://www.baidu.com/s?wd=MIDI%E4%BC%B4%E5%A5%8F"});
    EXPECT_EQ(desktop.documents, std::vector<std::filesystem::path> {"/help/PlayList.html"});
}

TEST_F(SongListWindowTest, OnlyTheSongBoxGrowsAndTheSizeIsWrittenAtExit)
{
    Open();
    const QSize initial = window->size();
    EXPECT_EQ(window->minimumSize(), initial);
    std::map<int, QRect> before;
    for (const int id : {1010, 1022, 1031, 1083})
        before[id] = window->Control(id)->geometry();
    window->resize(initial + QSize(60, 100));
    EXPECT_EQ(window->Control(kSongListBox)->geometry(), before[kSongListBox].adjusted(0, 0, 0, 100));
    for (const int id : {1022, 1031, 1083})
        EXPECT_EQ(window->Control(id)->geometry(), before[id]) << id;
    const QSizeGrip* grip = window->findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_EQ(grip->geometry().bottomRight(), window->rect().bottomRight());

    window->hide(); // a hidden window writes its size too
    const QSize outer = window->frameGeometry().size();
    window.reset();
    const QSettings stored(QStringLiteral("Lyrabooth"), QStringLiteral("PlayListDlg"));
    EXPECT_EQ(stored.value("dialog_205_cx").toInt(), outer.width());
    EXPECT_EQ(stored.value("dialog_205_cy").toInt(), outer.height());
}

TEST_F(SongListWindowTest, ListsAreMadeRenamedAndDeleted)
{
    Open();
    Click(kDeleteListButton); // the only list: nothing is asked
    EXPECT_TRUE(rig.prompts.m_messages.empty());
    EXPECT_TRUE(std::filesystem::exists(ListFile("默认列表")));

    EXPECT_EQ(WithName(kNewListButton, std::nullopt), "新建歌曲列表 1059");
    EXPECT_EQ(WithName(kNewListButton, QStringLiteral("摇滚")), "新建歌曲列表 1059");
    EXPECT_EQ(CurrentList(), "摇滚");
    EXPECT_TRUE(SongNames().empty());
    EXPECT_EQ(WithName(kRenameListButton, QStringLiteral("老歌")), "重命名歌曲列表 1061");
    EXPECT_EQ(CurrentList(), "老歌");
    EXPECT_FALSE(std::filesystem::exists(ListFile("摇滚")));

    // A name already taken is the presenter's and the store's matter.
    // Deleting asks; deleting the last list selects the first.
    ChooseList(ListNames().back().c_str());
    EXPECT_TRUE(Button(kDeleteListButton)->isEnabled());
    const std::string last = CurrentList();
    rig.prompts.m_answers = {EPromptAnswer::No, EPromptAnswer::Yes};
    Click(kDeleteListButton);
    EXPECT_EQ(ListNames().size(), 2u);
    Click(kDeleteListButton);
    EXPECT_EQ(rig.prompts.m_messages.back().text, u"确定要删除当前播放列表吗?");
    EXPECT_EQ(ListNames().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(ListFile(last)));
    EXPECT_EQ(Lists()->currentIndex(), 0);
}

TEST_F(SongListWindowTest, SongsAreAddedRemovedAndClearedAndSavedAtOnce)
{
    Open();
    rig.prompts.m_paths = {"/m/b.wav", std::nullopt, "/m/c.mp3"};
    Click(kAddFileButton);
    Click(kAddFileButton); // cancelled
    Click(kAddFileButton);
    EXPECT_EQ(SongNames(), (std::vector<std::string> {"jasmine.mid", "b.wav", "c.mp3"}));
    EXPECT_EQ(ReadList("默认列表").songs.back(), SongRecordOfPath(u"/m/c.mp3", rig.session.Texts().PathDisplay()));

    // Files dropped on the window join the list at once; a dropped folder does not.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(rig.home.WriteFile("拖.mid", "MThd").string())),
        QUrl::fromLocalFile(QString::fromStdString(rig.home.Path().string()))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(SongNames().back(), "拖.mid");
    EXPECT_EQ(ReadList("默认列表").songs.size(), 4u);
    Songs()->setCurrentRow(3);
    Click(kRemoveSongButton);

    Click(kClearSongsButton);
    EXPECT_TRUE(SongNames().empty());
    EXPECT_TRUE(ReadList("默认列表").songs.empty());
    Click(kRemoveSongButton); // nothing to remove
    EXPECT_TRUE(rig.prompts.m_messages.empty());
}

// The first song is selected, not the neighbour, though the song box takes the focus.
TEST_F(SongListWindowTest, RemovingASongPicksNoSong)
{
    Open();
    rig.prompts.m_paths = {"/m/b.wav", "/m/c.mp3"};
    Click(kAddFileButton);
    Click(kAddFileButton);
    Songs()->setCurrentRow(1);
    rig.session.SetAccompanimentPath(u"/m/other.mid");
    QTest::mouseClick(Button(kRemoveSongButton), Qt::LeftButton);
    EXPECT_EQ(Songs()->currentItem()->text(), QStringLiteral("jasmine.mid"));
    EXPECT_EQ(rig.session.AccompanimentPath(), u"/m/other.mid");
    // Nor does the focus that comes back with the window after the song box was refilled.
    rig.prompts.m_paths = {"/m/d.wav"};
    Click(kAddFileButton);
    mainWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(rig.session.AccompanimentPath(), u"/m/other.mid");
}

TEST_F(SongListWindowTest, AddingAFolderTakesItsSongsButNotThoseOfItsSubfolders)
{
    test::CTemporaryFolder songs;
    const auto a = songs.WriteFile("a.KAR", "");
    songs.WriteFile("notes.txt", "");
    std::filesystem::create_directory(songs.Path() / "sub");
    songs.WriteFile("sub/b.mid", "");
    Open();
    AddFolder(songs.Path());
    EXPECT_EQ(SongNames(), (std::vector<std::string> {"jasmine.mid", "a.KAR"}));
    const SongList stored = ReadList("默认列表");
    EXPECT_EQ(stored.storedName, u"listname");
    EXPECT_EQ(stored.songs.back(), SongRecordOfPath(PathToUtf16(a), rig.session.Texts().PathDisplay()));
    EXPECT_EQ(CurrentList(), "默认列表");

    // Cancelled in the browser or while the folder is read: nothing is added.
    AddFolder({});
    rig.prompts.m_paths = {songs.Path(), songs.Path()};
    Click(kAddFolderButton);
    EXPECT_TRUE(window->IsAddingFolder());
    for (const int id : {1025, 1026, 1028, 1029, 1031, 1058, 1022, 1023})
        EXPECT_FALSE(window->Control(id)->isEnabled()) << id;
    window->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
    EXPECT_FALSE(window->IsAddingFolder());
    EXPECT_TRUE(Button(kAddFolderButton)->isEnabled());
    EXPECT_EQ(ReadList("默认列表").songs.size(), 2u);
    Click(kAddFolderButton); // and when the program ends meanwhile
    window.reset();
    EXPECT_EQ(ReadList("默认列表").songs.size(), 2u);
}

// In which states a pick or a play-now is taken up is MainControllerTest's matter.
TEST_F(SongListWindowTest, AClickPicksADoubleClickPlaysAndTheKeyboardPicksToo)
{
    const auto other = rig.home.Path() / "other.mid";
    std::filesystem::copy_file(Utf16ToPath(test::CSessionRig::DemoSong()), other);
    rig.prompts.m_paths = {other};
    Open();
    Click(kAddFileButton);
    QTest::mouseClick(Songs()->viewport(), Qt::LeftButton, {}, SongCentre(1));
    EXPECT_EQ(rig.session.AccompanimentPath(), PathToUtf16(other));
    mainWindow.Controller().Handle(command::Play {});
    QTest::mouseClick(Songs()->viewport(), Qt::LeftButton, {}, SongCentre(0));
    QTest::mouseDClick(Songs()->viewport(), Qt::LeftButton, {}, SongCentre(0));
    EXPECT_EQ(rig.session.AccompanimentPath(), test::CSessionRig::DemoSong());
    EXPECT_TRUE(mainWindow.Controller().IsPlaying());
    // A click on the song already selected picks it again.
    mainWindow.Controller().Handle(command::Stop {});
    QTest::keyClick(Songs(), Qt::Key_Down);
    EXPECT_EQ(rig.session.AccompanimentPath(), PathToUtf16(other));
    QTest::keyClick(Songs(), Qt::Key_Up);
    EXPECT_EQ(rig.session.AccompanimentPath(), test::CSessionRig::DemoSong());
    rig.session.SetAccompanimentPath(u"/m/other.mid");
    QTest::mouseClick(Songs()->viewport(), Qt::LeftButton, {}, SongCentre(0));
    EXPECT_EQ(rig.session.AccompanimentPath(), test::CSessionRig::DemoSong());
    Click(kPlaySongButton);
    EXPECT_TRUE(mainWindow.Controller().IsPlaying());
}

TEST_F(SongListWindowTest, CloseEnterAndEscOnlyHideAndTheMainWindowOffersToShowIt)
{
    Open();
    const auto* toggle = static_cast<QPushButton*>(mainWindow.Control(kToggleSongListButton));
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"close box", [this] { window->close(); }},
        {"Enter", [this] { QTest::keyClick(Songs(), Qt::Key_Return); }},
        {"Esc", [this] { QTest::keyClick(Lists(), Qt::Key_Escape); }},
    };
    for (const auto& [way, action] : ways) {
        if (!window->isVisible())
            mainWindow.Controller().Handle(command::ToggleCompanion {ECompanion::SongList});
        ASSERT_TRUE(window->isVisible()) << way;
        EXPECT_EQ(toggle->text(), QStringLiteral("隐藏列表")) << way;
        action();
        EXPECT_FALSE(window->isVisible()) << way;
        EXPECT_EQ(toggle->text(), QStringLiteral("显示列表")) << way;
    }
}

} // namespace
} // namespace linlangok
