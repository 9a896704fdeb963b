#pragma once

#include "common/CodePage.h"

namespace linlangok::test {

// A code page of one byte per character (ISO-8859-1), for the core tests whose songs and texts
// hold no text that depends on the encoding; it needs no converter library.
class CLatin1CodePage final : public ICodePage {
public:
    std::string Name() const override { return "ISO-8859-1"; }

    std::u16string ToWide(std::string_view bytes) const override
    {
        std::u16string text;
        for (const char byte : bytes)
            text.push_back(static_cast<unsigned char>(byte));
        return text;
    }

    std::string FromWide(std::u16string_view text) const override
    {
        std::string bytes;
        for (const char16_t character : text)
            bytes.push_back(character < 0x100 ? static_cast<char>(character) : '?');
        return bytes;
    }
};

} // namespace linlangok::test
