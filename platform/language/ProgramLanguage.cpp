#include "platform/language/ProgramLanguage.h"

#include "common/Translation.h"

#include <QCoreApplication>
#include <QTranslator>

#include <cstdlib>
#include <memory>

namespace linlangok {
namespace {

std::string TranslateWithQt(const char* context, const char* sourceText)
{
    return QCoreApplication::translate(context, sourceText).toStdString();
}

} // namespace

std::string StartLanguage(const QString& choice, const QStringList& uiLanguages)
{
    std::vector<std::string> desktop;
    for (const QString& language : uiLanguages)
        desktop.push_back(language.toStdString());
    const char* variable = std::getenv("LINLANGOK_LANGUAGE");
    return ChosenLanguage(variable && *variable ? variable : choice.toStdString(), desktop);
}

std::unique_ptr<QTranslator> InstallProgramLanguage(const std::string& language)
{
    auto translator = std::make_unique<QTranslator>();
    if (language == kSourceLanguage
        || !translator->load(QStringLiteral(":/translations/linlangok_%1.qm").arg(QString::fromStdString(language)))) {
        InstallTranslationLookup(nullptr, kSourceLanguage);
        return nullptr;
    }
    QCoreApplication::installTranslator(translator.get());
    InstallTranslationLookup(&TranslateWithQt, language);
    return translator;
}

} // namespace linlangok
