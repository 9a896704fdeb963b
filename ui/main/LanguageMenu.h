#pragma once

#include <QMenu>

namespace linlangok {

class IUserPrompts;

// 语言 in the 帮助 menu: 跟随系统 or one of the program's languages, each named in itself. The
// choice is remembered and the program speaks it from its next start, as the user is told.
class CLanguageMenu final : public QMenu {
    Q_OBJECT
public:
    CLanguageMenu(IUserPrompts& prompts, QWidget* parent);

private:
    void Choose(const QString& language);

    IUserPrompts& m_prompts;
};

} // namespace linlangok
