// The LRC parser with encoding detection on arbitrary bytes: no crash, and the lines come out
// sorted, placed and with times that are never negative, each line's whole seconds those of its
// milliseconds (give or take the 32-bit limit), and a word-timed line's text its words joined.
// Read from a file, the bytes give the same lines, and a folder, a FIFO and /dev/zero are refused
// at once.
#include "core/lyrics/LrcParser.h"
#include "fuzz/InputFiles.h"
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
    static const linlangok::CFuzzInputFiles files;
    const auto lines = linlangok::ParseLrcText(
        std::string_view(reinterpret_cast<const char*>(data), size), gbk, kLineHeight, encodings)
                           .lines;
    const auto fromFile = linlangok::ReadLrcFile(files.Write(data, size), gbk, kLineHeight, encodings);
    if (!fromFile || fromFile->lines != lines)
        std::abort();
    for (const auto& special : files.SpecialFiles()) {
        if (linlangok::ReadLrcFile(special, gbk, kLineHeight, encodings))
            std::abort();
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const linlangok::LyricLine& line = lines[i];
        if (line.time < 0 || line.y != static_cast<std::int32_t>(i) * kLineHeight
            || (i > 0 && lines[i - 1].time > line.time) || line.timeMs / 1000 < line.time)
            std::abort();
        std::u16string joined;
        for (const linlangok::LrcWord& word : line.words) {
            if (word.timeMs < 0)
                std::abort();
            joined += word.text;
        }
        if (!line.words.empty() && joined != line.text)
            std::abort();
    }
    return 0;
}
