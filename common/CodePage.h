#pragma once

#include <memory>
#include <string>
#include <string_view>

// The legacy ("ANSI") code page: the 8-bit encoding of MIDI meta texts, LRC files and song list
// strings. The platform installs its converter once at start-up; the core only reads it.
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

// Installs the process-wide converter. Called on the UI thread before any engine runs.
void SetLegacyCodePage(std::shared_ptr<const ICodePage> codePage);

// The installed converter. Without one, a Latin-1 converter stands in.
const ICodePage& LegacyCodePage();

// Shorthands for LegacyCodePage().ToWide / FromWide.
std::u16string AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::u16string_view text);

} // namespace linlangok
