#include "common/CodePage.h"

namespace linlangok {
namespace {

class CLatin1CodePage final : public ICodePage {
public:
    std::string Name() const override { return "ISO-8859-1"; }

    std::u16string ToWide(std::string_view bytes) const override
    {
        std::u16string result;
        result.reserve(bytes.size());
        for (const char byte : bytes)
            result.push_back(static_cast<unsigned char>(byte));
        return result;
    }

    std::string FromWide(std::u16string_view text) const override
    {
        std::string result;
        result.reserve(text.size());
        for (const char16_t character : text)
            result.push_back(character < 0x100 ? static_cast<char>(character) : '?');
        return result;
    }
};

std::shared_ptr<const ICodePage>& InstalledCodePage()
{
    static std::shared_ptr<const ICodePage> codePage = std::make_shared<CLatin1CodePage>();
    return codePage;
}

} // namespace

void SetLegacyCodePage(std::shared_ptr<const ICodePage> codePage)
{
    if (codePage)
        InstalledCodePage() = std::move(codePage);
}

const ICodePage& LegacyCodePage()
{
    return *InstalledCodePage();
}

std::u16string AnsiToWide(std::string_view bytes)
{
    return LegacyCodePage().ToWide(bytes);
}

std::string WideToAnsi(std::u16string_view text)
{
    return LegacyCodePage().FromWide(text);
}

} // namespace linlangok
