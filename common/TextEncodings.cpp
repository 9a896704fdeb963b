#include "common/TextEncodings.h"

#include "common/Text.h"

#include <algorithm>

namespace linlangok {
namespace {

class CNoEncodingDetection final : public ITextEncodingDetector {
public:
    const ICodePage* Detect(std::string_view) const override { return nullptr; }
};

bool IsAsciiLetter(char32_t character)
{
    return (character >= U'a' && character <= U'z') || (character >= U'A' && character <= U'Z');
}

// The letters of Latin-1 (without × and ÷), Latin Extended-A and -B, and Latin Extended
// Additional (Vietnamese).
bool IsLatinLetter(char32_t character)
{
    return (character >= 0xC0 && character <= 0x24F && character != 0xD7 && character != 0xF7)
        || (character >= 0x1E00 && character <= 0x1EFF);
}

} // namespace

void AppendToEncodingSample(std::string& sample, std::string_view piece)
{
    if (sample.size() >= kEncodingSampleBytes)
        return;
    if (!sample.empty())
        sample.push_back('\n');
    sample.append(piece.substr(0, std::min(piece.size(), kEncodingSampleBytes - sample.size())));
}

bool IsUtf8LatinInAsciiWords(std::string_view bytes)
{
    if (!IsValidUtf8(bytes))
        return false;
    const std::u16string text = Utf8ToUtf16(bytes);
    bool anyLatin = false;
    bool wordHasAscii = false;
    bool wordHasLatin = false;
    const auto endWord = [&] {
        const bool fits = wordHasAscii || !wordHasLatin;
        wordHasAscii = wordHasLatin = false;
        return fits;
    };
    for (std::size_t i = 0; i < text.size();) {
        const char32_t character = NextCodePoint(text, i);
        if (IsAsciiLetter(character))
            wordHasAscii = true;
        else if (IsLatinLetter(character))
            wordHasLatin = anyLatin = true;
        else if (character >= 0x80 || !endWord())
            return false;
    }
    return endWord() && anyLatin;
}

const ITextEncodingDetector& NoEncodingDetection()
{
    static const CNoEncodingDetection detection;
    return detection;
}

const ICodePage* CEncodingOverride::Detect(std::string_view bytes) const
{
    if (const ICodePage* chosen = Chosen())
        return chosen;
    return m_encodings.Detect(bytes);
}

} // namespace linlangok
