#pragma once

#include "common/CodePage.h"

#include <memory>
#include <mutex>
#include <string>

namespace linlangok {

// ICodePage over iconv. Conversions are serialised by a lock, so one converter serves every thread.
class CIconvCodePage final : public ICodePage {
public:
    // encoding is the iconv name; name is the one Name gives, the encoding when empty. Throws
    // std::runtime_error when iconv does not know the encoding.
    explicit CIconvCodePage(std::string encoding, std::string name = {});
    ~CIconvCodePage() override;

    CIconvCodePage(const CIconvCodePage&) = delete;
    CIconvCodePage& operator=(const CIconvCodePage&) = delete;

    std::string Name() const override;
    std::u16string ToWide(std::string_view bytes) const override;
    std::string FromWide(std::u16string_view text) const override;

private:
    std::string m_encoding;
    std::string m_name;
    void* m_toWide; // iconv_t
    void* m_fromWide; // iconv_t
    mutable std::mutex m_lock;
};

// The iconv name of the legacy code page for a locale name such as "zh_CN.UTF-8": GBK for Chinese
// (mainland and Singapore) and for the C/POSIX locale, BIG5 for zh_TW and zh_HK, CP932 for Japanese,
// CP1252 otherwise.
std::string CodePageForLocale(std::string_view locale);

// The converter the program uses: LINLANGOK_CODEPAGE when set and known, otherwise the one for
// the user's locale (LC_ALL, LC_CTYPE, LANG in that order); GBK when that cannot be opened.
std::shared_ptr<const ICodePage> CreateLegacyCodePage();

} // namespace linlangok
