#include "platform/codepage/UchardetTextEncodings.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <stdexcept>
#include <uchardet/uchardet.h>

namespace linlangok {
namespace {

// Upper case without "-", "_" and blanks: "Shift_JIS" and "shift-jis" read alike.
std::string NormalName(std::string_view name)
{
    std::string normal;
    for (const char character : name) {
        if (character == '-' || character == '_' || character == ' ')
            continue;
        normal.push_back(character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character);
    }
    return normal;
}

// uchardet's answer for the bytes: an encoding name, empty when it has none.
std::string AskUchardet(std::string_view bytes)
{
    const uchardet_t detector = uchardet_new();
    if (!detector)
        return {};
    std::string answer;
    if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector);
        answer = uchardet_get_charset(detector);
    }
    uchardet_delete(detector);
    return answer;
}

} // namespace

CUchardetTextEncodings::CUchardetTextEncodings(const ICodePage& legacyCodePage)
    : m_legacyCodePage(legacyCodePage)
    , m_legacyFamily(FamilyOf(legacyCodePage.Name()))
{
    struct Known {
        EFamily family;
        const char* iconvName;
        const char* name;
        const char* label;
    };
    static constexpr Known kKnown[] = {
        {EFamily::Utf8, "UTF-8", "UTF-8", "Unicode (UTF-8)"},
        {EFamily::Chinese, "GB18030", "GB18030", LINLANGOK_TR_NOOP("CUchardetTextEncodings", "简体中文 (GB18030)")},
        {EFamily::TraditionalChinese, "CP950", "BIG5", LINLANGOK_TR_NOOP("CUchardetTextEncodings", "繁体中文 (BIG5)")},
        {EFamily::Japanese, "CP932", "CP932", LINLANGOK_TR_NOOP("CUchardetTextEncodings", "日文 (Shift-JIS)")},
        {EFamily::Korean, "CP949", "CP949", LINLANGOK_TR_NOOP("CUchardetTextEncodings", "韩文 (EUC-KR)")},
    };
    const std::string legacyName = NormalName(legacyCodePage.Name());
    m_choices.push_back({legacyCodePage.Name(),
        Formatted(Tr("CUchardetTextEncodings", "系统默认 (%1)"), {Utf8ToUtf16(legacyCodePage.Name())})});
    for (const Known& known : kKnown) {
        try {
            m_encodings.push_back({known.family, std::make_unique<CIconvCodePage>(known.iconvName, known.name)});
        } catch (const std::runtime_error&) {
            continue;
        }
        if (NormalName(known.name) != legacyName)
            m_choices.push_back({known.name, Tr("CUchardetTextEncodings", known.label)});
    }
}

CUchardetTextEncodings::EFamily CUchardetTextEncodings::FamilyOf(std::string_view name)
{
    static const std::pair<const char*, EFamily> kNames[] = {
        {"UTF8", EFamily::Utf8},
        {"GB18030", EFamily::Chinese},
        {"GBK", EFamily::Chinese},
        {"GB2312", EFamily::Chinese},
        {"CP936", EFamily::Chinese},
        {"EUCCN", EFamily::Chinese},
        {"BIG5", EFamily::TraditionalChinese},
        {"CP950", EFamily::TraditionalChinese},
        {"BIG5HKSCS", EFamily::TraditionalChinese},
        {"SHIFTJIS", EFamily::Japanese},
        {"SJIS", EFamily::Japanese},
        {"CP932", EFamily::Japanese},
        {"MS932", EFamily::Japanese},
        {"EUCKR", EFamily::Korean},
        {"UHC", EFamily::Korean},
        {"CP949", EFamily::Korean},
    };
    const std::string normal = NormalName(name);
    for (const auto& [known, family] : kNames) {
        if (normal == known)
            return family;
    }
    return EFamily::Other;
}

const ICodePage* CUchardetTextEncodings::Find(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    const std::string normal = NormalName(name);
    if (normal == NormalName(m_legacyCodePage.Name()))
        return &m_legacyCodePage;
    for (const Encoding& encoding : m_encodings) {
        if (normal == NormalName(encoding.converter->Name()))
            return encoding.converter.get();
    }
    const EFamily family = FamilyOf(name);
    if (family == EFamily::Other)
        return nullptr;
    if (family == m_legacyFamily)
        return &m_legacyCodePage;
    const auto found = std::find_if(
        m_encodings.begin(), m_encodings.end(), [&](const Encoding& encoding) { return encoding.family == family; });
    return found == m_encodings.end() ? nullptr : found->converter.get();
}

const ICodePage* CUchardetTextEncodings::CleanConverter(EFamily family, std::string_view bytes) const
{
    const auto decodesAll
        = [&](const ICodePage& codePage) { return codePage.ToWide(bytes).find(u'\uFFFD') == std::u16string::npos; };
    if (family == m_legacyFamily && decodesAll(m_legacyCodePage))
        return &m_legacyCodePage;
    for (const Encoding& encoding : m_encodings) {
        if (encoding.family == family && decodesAll(*encoding.converter))
            return encoding.converter.get();
    }
    return nullptr;
}

const ICodePage* CUchardetTextEncodings::Detect(std::string_view bytes) const
{
    const auto nonAscii = static_cast<size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; }));
    if (IsValidUtf8(bytes) && (nonAscii >= kMinimumUtf8Bytes || IsUtf8LatinInAsciiWords(bytes)))
        return CleanConverter(EFamily::Utf8, bytes);
    if (nonAscii < kMinimumDetectedBytes)
        return nullptr;
    const EFamily family = FamilyOf(AskUchardet(bytes));
    // uchardet answers UTF-8 for some texts that are not: valid UTF-8 was taken above.
    if (family == EFamily::Other || family == EFamily::Utf8)
        return nullptr;
    return CleanConverter(family, bytes);
}

} // namespace linlangok
