#pragma once

#include <memory>

class QApplication;
class QLocale;
class QString;
class QTranslator;

namespace linlangok {

// Names the application for the desktop ("linlangok", its desktop entry) and installs Qt's own
// translations for the locale (the program's language's), so that the stock dialogs (file
// dialogs, 是/否, 确定/取消) speak it too. No display name is set: Qt would append
// it to every window title. Call once, after the QApplication is made; UI thread.
void SetUpApplication(QApplication& application, const QLocale& locale);

// Qt's translations of its own texts for the locale, from Qt's translations folder; a Traditional
// Chinese locale that has none of its own (Hong Kong, Macau) takes Taiwan's. Null when Qt has none
// for the locale, which leaves Qt's English.
std::unique_ptr<QTranslator> LoadQtTranslations(const QLocale& locale);

// The language chosen in 语言, remembered in the settings: a code of kLanguages, or empty to
// follow the desktop. UI thread, after SetUpApplication.
QString RememberedLanguage();
void RememberLanguage(const QString& language);

} // namespace linlangok
