#include "common/TextEncodings.h"

#include <algorithm>

namespace linlangok {
namespace {

class CNoEncodingDetection final : public ITextEncodingDetector {
public:
    const ICodePage* Detect(std::string_view) const override { return nullptr; }
};

} // namespace

void AppendToEncodingSample(std::string& sample, std::string_view piece)
{
    if (sample.size() >= kEncodingSampleBytes)
        return;
    if (!sample.empty())
        sample.push_back('\n');
    sample.append(piece.substr(0, std::min(piece.size(), kEncodingSampleBytes - sample.size())));
}

const ITextEncodingDetector& NoEncodingDetection()
{
    static const CNoEncodingDetection detection;
    return detection;
}

const ICodePage* CEncodingOverride::Detect(std::string_view bytes) const
{
    if (const ICodePage* chosen = m_encodings.Find(m_name))
        return chosen;
    return m_encodings.Detect(bytes);
}

} // namespace linlangok
