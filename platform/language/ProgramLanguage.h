#pragma once

#include <QStringList>

#include <memory>
#include <string>

class QTranslator;

// The language the program speaks, chosen once at start.
namespace linlangok {

// The language for the user's choice (a code of kLanguages; empty or unknown: none) with
// LINLANGOK_LANGUAGE before it, and the desktop's languages after.
std::string StartLanguage(const QString& choice, const QStringList& uiLanguages);

// Installs the program's translation into `language` and the lookup that Tr goes through, and
// returns the translator, which is removed when destroyed; null for the source texts' own
// language. UI thread, before the program's other threads start.
std::unique_ptr<QTranslator> InstallProgramLanguage(const std::string& language);

} // namespace linlangok
