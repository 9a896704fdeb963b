#include "ui/main/LanguageMenu.h"

#include "common/Translation.h"
#include "common/UserPrompts.h"
#include "ui/desktop/ApplicationSetup.h"

#include <QActionGroup>

namespace linlangok {

CLanguageMenu::CLanguageMenu(IUserPrompts& prompts, QWidget* parent)
    : QMenu(tr("语言(&L)"), parent)
    , m_prompts(prompts)
{
    auto* choices = new QActionGroup(this);
    const QString remembered = RememberedLanguage();
    const auto add = [&](const QString& text, const QString& language) {
        QAction* action = addAction(text, this, [this, language] { Choose(language); });
        action->setCheckable(true);
        action->setChecked(language == remembered);
        choices->addAction(action);
    };
    add(tr("跟随系统(&S)"), QString());
    addSeparator();
    for (const Language& language : kLanguages)
        add(QString::fromUtf16(language.name), QString::fromUtf8(language.code));
    if (!choices->checkedAction())
        choices->actions().constFirst()->setChecked(true);
}

void CLanguageMenu::Choose(const QString& language)
{
    if (language == RememberedLanguage())
        return;
    RememberLanguage(language);
    m_prompts.ShowMessage(MessageRequest {ApplicationTitle(),
        tr("琳朗卡拉OK 下次启动时使用所选的语言。").toStdU16String(), EMessageButtons::Ok, EMessageIcon::Information});
}

} // namespace linlangok
