#include "app/services/PlatformServices.h"
#include "common/Translation.h"
#include "platform/language/ProgramLanguage.h"
#include "tests/core/controller/FakePerformance.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/ui/main/ApplicationRig.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/catalog/SongFoldersDialog.h"
#include "ui/desktop/ApplicationSetup.h"
#include "ui/lyrics/LyricsShowWindow.h"
#include "ui/main/LanguageMenu.h"
#include "ui/main/PerformanceWindow.h"
#include "ui/mixer/VoiceControls.h"
#include "ui/mixer/VolumeWindow.h"
#include "ui/phone/PhoneWindow.h"
#include "ui/songlist/SongListWindow.h"
#include "ui/video/VideoWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <cstdlib>

namespace linlangok {
namespace {

bool HoldsChinese(const QString& text)
{
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if ((unit >= 0x3000 && unit <= 0x9FFF) || (unit >= 0xFF00 && unit <= 0xFFEF))
            return true;
    }
    return false;
}

// What the window shows or says of itself, apart from the languages named in themselves and the
// songs' own names.
QStringList ShownTexts(const QWidget& window, const QStringList& exempt)
{
    QStringList texts {window.windowTitle()};
    for (const QWidget* child : window.findChildren<QWidget*>()) {
        texts << child->toolTip() << child->accessibleName() << child->accessibleDescription();
        if (const auto* button = qobject_cast<const QAbstractButton*>(child))
            texts << button->text();
        if (const auto* label = qobject_cast<const QLabel*>(child))
            texts << label->text();
        if (const auto* edit = qobject_cast<const QLineEdit*>(child))
            texts << edit->placeholderText();
        if (const auto* box = qobject_cast<const QComboBox*>(child)) {
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        }
        if (const auto* header = qobject_cast<const QHeaderView*>(child); header && header->model()) {
            for (int i = 0; i < header->count(); ++i)
                texts << header->model()->headerData(i, header->orientation()).toString();
        }
        for (const QAction* action : child->actions())
            texts << action->text() << action->toolTip();
        if (const auto* menu = qobject_cast<const QMenu*>(child))
            texts << menu->title();
    }
    QStringList shown;
    for (const QString& text : texts) {
        if (!exempt.contains(text) && HoldsChinese(text))
            shown << text;
    }
    return shown;
}

class LanguageTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        setenv("LINLANGOK_HOME", m_home.Path().c_str(), 1);
        m_translation = InstallProgramLanguage(GetParam());
        ASSERT_TRUE(m_translation);
        for (const Language& language : kLanguages)
            m_exempt << QString::fromUtf16(language.name);
    }
    void TearDown() override
    {
        m_translation.reset();
        InstallTranslationLookup(nullptr, kSourceLanguage);
        unsetenv("LINLANGOK_HOME");
    }

    // Shown and active as the user finds it, every text whole, every control named, and under
    // English no Chinese but the songs' and the languages' names.
    void Check(QWidget& window)
    {
        window.show();
        window.raise();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << window.metaObject()->className();
        SCOPED_TRACE(window.metaObject()->className());
        test::ExpectTextsFitAndControlsNamed(window);
        if (std::string_view(GetParam()) == "en") {
            EXPECT_EQ(ShownTexts(window, m_exempt).join(u'|').toStdString(), "");
        }
    }

    test::CTemporaryFolder m_home;
    std::unique_ptr<QTranslator> m_translation;
    QStringList m_exempt;
};

TEST_P(LanguageTest, EveryWindowShowsItsTextsWholeInTheLanguage)
{
    CPlatformServices platform(*qApp);
    const ApplicationServices services = platform.Services();
    CKaraokeApplication karaoke(services);
    karaoke.Show();
    m_exempt << karaoke.SongListWindow().findChild<QComboBox*>()->currentText(); // the default list's name
    for (QWidget* window :
        std::initializer_list<QWidget*> {&karaoke.MainWindow(), &karaoke.LyricsWindow(), &karaoke.VolumeWindow(),
            &karaoke.SongListWindow(), &karaoke.VideoWindow(), karaoke.CatalogWindow(), karaoke.PhoneWindow()}) {
        ASSERT_NE(window, nullptr);
        Check(*window);
    }
    // Traditional Chinese is the source made over, not the source itself.
    if (std::string_view(GetParam()) != "en") {
        EXPECT_EQ(static_cast<QPushButton*>(karaoke.MainWindow().Control(kToggleLyricsButton))->text(),
            QStringLiteral("隱藏歌詞"));
    }
    if (services.voiceEffects) {
        CMoreEffectsDialog moreEffects(*services.voiceEffects, std::nullopt, &karaoke.VolumeWindow());
        Check(moreEffects);
    }
    CSongFoldersDialog folders(
        {services.catalog->openStore, platform.Prompts(), services.catalog->names, services.catalog->connection},
        &karaoke.MainWindow());
    Check(folders);
    test::CPerformanceRig rig;
    CPerformanceWindow performance(rig.controller);
    Check(performance);
}

// 语言 remembers the choice, says once that it comes at the next start, and shows the remembered
// choice checked; 跟随系统 is the choice of none.
TEST(LanguageMenuTest, TheChoiceIsRememberedAndTakesEffectAtTheNextStart)
{
    test::CScriptedUserPrompts prompts;
    RememberLanguage(QString());
    CLanguageMenu menu(prompts, nullptr);
    ASSERT_EQ(menu.actions().size(), 6); // 跟随系统, a separator and the four languages
    EXPECT_TRUE(menu.actions().constFirst()->isChecked());
    menu.actions().at(3)->trigger();
    menu.actions().at(3)->trigger();
    EXPECT_EQ(RememberedLanguage(), QStringLiteral("zh_TW"));
    EXPECT_EQ(prompts.MessageTexts(), std::vector<std::string> {"琳朗卡拉OK 下次启动时使用所选的语言。"});
    EXPECT_TRUE(CLanguageMenu(prompts, nullptr).actions().at(3)->isChecked());
    RememberLanguage(QString());
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest, ::testing::Values("en", "zh_TW", "zh_HK"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
} // namespace linlangok
