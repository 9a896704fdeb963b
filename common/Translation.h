#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The system's texts are written in simplified Chinese. Every text a user sees goes through Tr
// (or tr in the windows), which gives it in the user's language; lupdate collects the literals
// from these calls into the translation files. The program installs the lookup (Qt's
// translators) once at start, before its other threads; until then, and for a text without a
// translation, a text reads as its source.
namespace linlangok {

// The translation of a UTF-8 source text in its context, as UTF-8; empty for none.
using TranslationLookup = std::string (*)(const char* context, const char* sourceText);

// The languages the program speaks, by code ("zh_CN" is the source texts' own), each named in
// itself, as a menu of languages lists them.
struct Language {
    const char* code;
    const char16_t* name;
};
inline constexpr const char* kSourceLanguage = "zh_CN";
inline constexpr Language kLanguages[]
    = {{"zh_CN", u"简体中文"}, {"zh_TW", u"繁體中文（台灣）"}, {"zh_HK", u"繁體中文（香港）"}, {"en", u"English"}};

// The language to speak: `choice` when it is one of kLanguages (the user's, or
// LINLANGOK_LANGUAGE's), otherwise the first of the desktop's languages (QLocale's uiLanguages,
// "zh-Hant-TW", "en-US", …) that it speaks: Chinese in Taiwan or in traditional script is zh_TW,
// Hong Kong's and Macau's zh_HK, any other Chinese zh_CN. English when it speaks none of them.
std::string ChosenLanguage(std::string_view choice, const std::vector<std::string>& uiLanguages);

// Installs the lookup for the language it translates into; any thread may translate afterwards.
// Null restores the source texts. Call before the program's other threads start.
void InstallTranslationLookup(TranslationLookup lookup, std::string_view language);

// The language of the installed lookup; kSourceLanguage without one.
std::string CurrentLanguage();

// The UTF-8 source text, a literal where lupdate should find it, in the user's language.
std::u16string Tr(const char* context, const char* sourceText);
std::string TrUtf8(const char* context, const char* sourceText);

// The pattern with "%1" … "%9" replaced by the arguments in turn, in one pass (an argument's own
// "%2" stays as it is). A translation may move the markers; a marker without an argument stays.
std::u16string Formatted(std::u16string_view pattern, std::initializer_list<std::u16string_view> arguments);
// The same in UTF-8, for the messages of exceptions.
std::string FormattedUtf8(std::string_view pattern, std::initializer_list<std::string_view> arguments);

} // namespace linlangok

// Marks a literal in a table for lupdate; whoever shows it passes it through Tr with the same
// context.
#define LINLANGOK_TR_NOOP(context, sourceText) sourceText
