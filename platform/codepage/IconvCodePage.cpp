#include "platform/codepage/IconvCodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <stdexcept>

namespace linlangok {
namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

iconv_t OpenConverter(const std::string& to, const std::string& from)
{
    const iconv_t converter = ::iconv_open(to.c_str(), from.c_str());
    if (converter == kInvalid)
        throw std::runtime_error("unknown code page: " + (to == "UTF-16LE" ? from : to));
    return converter;
}

// Runs one conversion to the end, replacing what cannot be converted. unitIn is the size of
// one input unit to skip on a bad sequence; replacement is appended to the output instead.
std::string Convert(iconv_t converter, std::string_view input, size_t unitIn, std::string_view replacement)
{
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string output(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t outUsed = 0;
    while (inLeft > 0) {
        if (output.size() - outUsed < 16)
            output.resize(output.size() * 2);
        char* out = output.data() + outUsed;
        size_t outLeft = output.size() - outUsed;
        const size_t result = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        outUsed = output.size() - outLeft;
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: an invalid or cut-off sequence.
        if (output.size() - outUsed < replacement.size())
            output.resize(output.size() * 2);
        output.replace(outUsed, replacement.size(), replacement);
        outUsed += replacement.size();
        const size_t skip = std::min(unitIn, inLeft);
        in += skip;
        inLeft -= skip;
    }
    output.resize(outUsed);
    return output;
}

} // namespace

CIconvCodePage::CIconvCodePage(std::string encoding, std::string name)
    : m_encoding(std::move(encoding))
    , m_name(name.empty() ? m_encoding : std::move(name))
    , m_toWide(OpenConverter("UTF-16LE", m_encoding))
    , m_fromWide(nullptr)
{
    try {
        m_fromWide = OpenConverter(m_encoding, "UTF-16LE");
    } catch (...) {
        ::iconv_close(static_cast<iconv_t>(m_toWide));
        throw;
    }
}

CIconvCodePage::~CIconvCodePage()
{
    ::iconv_close(static_cast<iconv_t>(m_toWide));
    ::iconv_close(static_cast<iconv_t>(m_fromWide));
}

std::string CIconvCodePage::Name() const
{
    return m_name;
}

std::u16string CIconvCodePage::ToWide(std::string_view bytes) const
{
    static constexpr char kReplacementLe[] = {'\xFD', '\xFF'};
    std::string utf16;
    {
        std::lock_guard lock(m_lock);
        utf16 = Convert(static_cast<iconv_t>(m_toWide), bytes, 1, std::string_view(kReplacementLe, 2));
    }
    std::u16string result(utf16.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(
            static_cast<unsigned char>(utf16[2 * i]) | (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
    return result;
}

std::string CIconvCodePage::FromWide(std::u16string_view text) const
{
    std::string utf16(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        utf16[2 * i] = static_cast<char>(text[i] & 0xFF);
        utf16[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::lock_guard lock(m_lock);
    return Convert(static_cast<iconv_t>(m_fromWide), utf16, 2, "?");
}

std::string CodePageForLocale(std::string_view locale)
{
    const auto startsWith = [&](std::string_view prefix) { return locale.substr(0, prefix.size()) == prefix; };
    if (locale.empty() || locale == "C" || locale == "POSIX" || startsWith("C.") || startsWith("zh_CN")
        || startsWith("zh_SG"))
        return "GBK";
    if (startsWith("zh_TW") || startsWith("zh_HK"))
        return "BIG5";
    if (startsWith("ja"))
        return "CP932";
    if (startsWith("zh"))
        return "GBK";
    return "CP1252";
}

std::shared_ptr<const ICodePage> CreateLegacyCodePage()
{
    if (const char* chosen = std::getenv("LINLANGOK_CODEPAGE"); chosen && *chosen) {
        try {
            return std::make_shared<CIconvCodePage>(chosen);
        } catch (const std::runtime_error&) {
        }
    }
    std::string_view locale;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            locale = value;
            break;
        }
    }
    try {
        return std::make_shared<CIconvCodePage>(CodePageForLocale(locale));
    } catch (const std::runtime_error&) {
        return std::make_shared<CIconvCodePage>("GBK");
    }
}

} // namespace linlangok
