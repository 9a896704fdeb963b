#include "ui/desktop/ApplicationSetup.h"

#include "ui/widgets/ProgramSettings.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace linlangok {
namespace {

const QString kLanguageApplication = QStringLiteral("Language");
const QString kLanguageKey = QStringLiteral("language");

} // namespace

void SetUpApplication(QApplication& application, const QLocale& locale)
{
    QApplication::setApplicationName(QStringLiteral("linlangok"));
    QApplication::setDesktopFileName(QStringLiteral("linlangok"));
    if (std::unique_ptr<QTranslator> translations = LoadQtTranslations(locale)) {
        translations->setParent(&application);
        QApplication::installTranslator(translations.release());
    }
}

std::unique_ptr<QTranslator> LoadQtTranslations(const QLocale& locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translations = std::make_unique<QTranslator>();
    if (translations->load(locale, QStringLiteral("qt"), QStringLiteral("_"), folder))
        return translations;
    if (locale.language() == QLocale::Chinese && locale.script() == QLocale::TraditionalChineseScript
        && translations->load(
            QLocale(QLocale::Chinese, QLocale::Taiwan), QStringLiteral("qt"), QStringLiteral("_"), folder))
        return translations;
    return nullptr;
}

QString RememberedLanguage()
{
    return QSettings(kSettingsOrganisation, kLanguageApplication).value(kLanguageKey).toString();
}

void RememberLanguage(const QString& language)
{
    QSettings(kSettingsOrganisation, kLanguageApplication).setValue(kLanguageKey, language);
}

} // namespace linlangok
