#pragma once

#include <string>
#include <string_view>

// The legacy ("ANSI") code page: the 8-bit encoding of MIDI meta texts, LRC files and song list
// strings. Each program's main makes one converter and hands it to what converts text.
namespace linlangok {

class ICodePage {
public:
    virtual ~ICodePage() = default;

    // The converter's name as the user would choose it (e.g. "GBK").
    virtual std::string Name() const = 0;

    // Bytes in the code page to UTF-16. Bytes that do not decode become U+FFFD; never throws.
    virtual std::u16string ToWide(std::string_view bytes) const = 0;

    // UTF-16 to bytes in the code page. Characters the code page lacks become '?'; never throws.
    virtual std::string FromWide(std::u16string_view text) const = 0;
};

} // namespace linlangok
