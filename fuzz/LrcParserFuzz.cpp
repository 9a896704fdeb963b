// The LRC parser with encoding detection on arbitrary bytes: no crash, and the lines come out
// sorted, placed and with times that are never negative.
#include "lyrics/LrcParser.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr int kLineHeight = 26;
    static const linlangok::CIconvCodePage gbk("GBK");
    static const linlangok::CUchardetTextEncodings encodings(gbk);
    const auto lines = linlangok::ParseLrcText(
        std::string_view(reinterpret_cast<const char*>(data), size), gbk, kLineHeight, encodings);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].time < 0 || lines[i].y != static_cast<std::int32_t>(i) * kLineHeight
            || (i > 0 && lines[i - 1].time > lines[i].time))
            std::abort();
    }
    return 0;
}
