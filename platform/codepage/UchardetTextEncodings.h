#pragma once

#include "common/TextEncodings.h"
#include "platform/codepage/IconvCodePage.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// The encodings of song texts over uchardet and iconv: the legacy code page first, then UTF-8,
// GB18030, BIG5 (read as Windows' CP950), CP932 (Shift-JIS) and CP949 (EUC-KR, with Windows'
// Hangul), each once. Detect trusts valid UTF-8 with at least kMinimumUtf8Bytes bytes outside
// ASCII, and shorter valid UTF-8 whose only such characters are Latin letters inside ASCII words
// (IsUtf8LatinInAsciiWords); otherwise it asks uchardet when kMinimumDetectedBytes such bytes
// are there, and takes its answer only when it is one of these encodings and decodes every
// byte. Of the same family
// (GBK and GB18030, BIG5 and CP950) the legacy code page is taken when it decodes every byte, so
// the locale's own songs read as they always have. Everything else is unsure. Any thread.
class CUchardetTextEncodings final : public ITextEncodings {
public:
    // Bytes outside ASCII needed to judge, as measured on song titles and lyrics: valid UTF-8 from
    // 4 on (shorter GBK texts were valid UTF-8 by chance), any other answer from 8 on (uchardet
    // answered shorter texts wrongly too often).
    static constexpr size_t kMinimumUtf8Bytes = 4;
    static constexpr size_t kMinimumDetectedBytes = 8;

    // The legacy code page outlives the object. An encoding that iconv lacks is left out.
    explicit CUchardetTextEncodings(const ICodePage& legacyCodePage);

    const std::vector<TextEncodingChoice>& Choices() const override { return m_choices; }
    const ICodePage* Find(std::string_view name) const override;
    const ICodePage* Detect(std::string_view bytes) const override;

private:
    enum class EFamily { Other, Utf8, Chinese, TraditionalChinese, Japanese, Korean };
    struct Encoding {
        EFamily family;
        std::unique_ptr<CIconvCodePage> converter;
    };

    static EFamily FamilyOf(std::string_view name);
    // Of the family's converters, the legacy code page first, the first that decodes every byte;
    // null when none does.
    const ICodePage* CleanConverter(EFamily family, std::string_view bytes) const;

    const ICodePage& m_legacyCodePage;
    EFamily m_legacyFamily;
    std::vector<Encoding> m_encodings;
    std::vector<TextEncodingChoice> m_choices;
};

} // namespace linlangok
