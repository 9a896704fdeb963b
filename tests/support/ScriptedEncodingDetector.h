#pragma once

#include "common/TextEncodings.h"

#include <string>
#include <vector>

namespace linlangok::test {

// Answers every Detect with the code page it was given (null: unsure) and keeps the samples.
class CScriptedEncodingDetector final : public ITextEncodingDetector {
public:
    explicit CScriptedEncodingDetector(const ICodePage* answer)
        : m_answer(answer)
    {
    }

    const ICodePage* Detect(std::string_view bytes) const override
    {
        samples.emplace_back(bytes);
        return m_answer;
    }

    mutable std::vector<std::string> samples;

private:
    const ICodePage* m_answer;
};

} // namespace linlangok::test
