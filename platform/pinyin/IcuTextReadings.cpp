#include "platform/pinyin/IcuTextReadings.h"

#include "common/Text.h"

#include <unicode/strenum.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <set>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr const char* kFoldingTransform = "Traditional-Simplified; NFD; [:Nonspacing Mark:] Remove; NFC; Lower";
constexpr const char* kPinyinTransform = "Han-Latin";
constexpr const char* kTonelessTransform = "NFD; [:Nonspacing Mark:] Remove; NFC; Lower";

// Raises std::runtime_error unless ICU has the rule-based transforms the readings are built of.
void RequireTransforms()
{
    std::set<std::string> missing {"Traditional-Simplified", kPinyinTransform};
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::StringEnumeration> ids(icu::Transliterator::getAvailableIDs(status));
    while (U_SUCCESS(status) && ids && !missing.empty()) {
        const icu::UnicodeString* id = ids->snext(status);
        if (!id)
            break;
        std::string name;
        missing.erase(id->toUTF8String(name));
    }
    if (!missing.empty())
        throw std::runtime_error("ICU lacks the transform " + *missing.begin());
}

std::unique_ptr<icu::Transliterator> CreateTransform(const char* id)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transform(
        icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(id), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transform)
        throw std::runtime_error(std::string("ICU lacks the transform ") + id + ": " + u_errorName(status));
    return transform;
}

bool IsHan(char32_t character)
{
    UErrorCode status = U_ZERO_ERROR;
    return uscript_getScript(static_cast<UChar32>(character), &status) == USCRIPT_HAN && U_SUCCESS(status);
}

} // namespace

CIcuTextReadings::CIcuTextReadings()
{
    RequireTransforms();
}

CIcuTextReadings::~CIcuTextReadings() = default;

std::u16string CIcuTextReadings::FoldCharacter(char32_t character)
{
    // Full-width ASCII and the ideographic space, as IMEs type them.
    if (character >= 0xFF01 && character <= 0xFF5E)
        character -= 0xFEE0;
    else if (character == 0x3000)
        character = U' ';
    if (character < 0x80) {
        const char16_t ascii = static_cast<char16_t>(character);
        return {ascii >= u'A' && ascii <= u'Z' ? static_cast<char16_t>(ascii + 32) : ascii};
    }
    const auto known = m_folded.find(character);
    if (known != m_folded.end())
        return known->second;
    icu::UnicodeString text(static_cast<UChar32>(character));
    if (!m_folding)
        m_folding = CreateTransform(kFoldingTransform);
    m_folding->transliterate(text);
    std::u16string folded(reinterpret_cast<const char16_t*>(text.getBuffer()), static_cast<size_t>(text.length()));
    return m_folded.emplace(character, std::move(folded)).first->second;
}

std::u16string CIcuTextReadings::Fold(std::u16string_view text)
{
    std::lock_guard lock(m_mutex);
    std::u16string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        folded += FoldCharacter(NextCodePoint(text, i));
    return folded;
}

std::vector<std::string> CIcuTextReadings::Readings(char32_t character)
{
    if (character < 0x2E80)
        return {};
    std::lock_guard lock(m_mutex);
    const auto known = m_readings.find(character);
    if (known != m_readings.end())
        return known->second;
    std::vector<std::string> readings = PolyphoneReadings(character);
    if (readings.empty() && IsHan(character)) {
        if (!m_pinyin) {
            m_pinyin = CreateTransform(kPinyinTransform);
            m_toneless = CreateTransform(kTonelessTransform);
        }
        icu::UnicodeString latin(static_cast<UChar32>(character));
        m_pinyin->transliterate(latin);
        // "ü" is typed "v" in most input methods and "u" in others: both readings are kept.
        icu::UnicodeString withV = latin;
        bool umlaut = false;
        for (std::int32_t i = 0; i < withV.length(); ++i) {
            const char16_t letter = withV.charAt(i);
            if (letter == 0xFC || letter == 0x1D6 || letter == 0x1D8 || letter == 0x1DA || letter == 0x1DC) {
                withV.setCharAt(i, u'v');
                umlaut = true;
            }
        }
        for (icu::UnicodeString* form : {&withV, &latin}) {
            if (form == &withV && !umlaut)
                continue;
            m_toneless->transliterate(*form);
            std::string syllable;
            form->toUTF8String(syllable);
            if (!syllable.empty() && syllable.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos)
                readings.push_back(syllable);
        }
    }
    return m_readings.emplace(character, std::move(readings)).first->second;
}

} // namespace linlangok
