#include "common/Text.h"
#include "lyrics/LrcParser.h"
#include "lyrics/LyricsLayout.h"
#include "tools/Commands.h"
#include "tools/JsonWriter.h"

#include <iostream>

namespace linlangok {

int RunLrcCommand(ToolContext& context)
{
    if (context.arguments.size() != 1)
        return UsageError(kLrcUsage);
    const std::string& file = context.arguments[0];
    const auto lyrics = ReadLrcFile(file, context.codePage, kLyricLineHeight);
    if (!lyrics) {
        context.prompts.ShowError(kCaptionError, u"无法打开歌词文件“" + Utf8ToUtf16(file) + u"”。");
        return 1;
    }
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("offset_ms").Value(static_cast<long long>(lyrics->offsetMs));
    json.Key("lines").BeginArray();
    for (const LyricLine& line : lyrics->lines) {
        json.BeginObject();
        json.Key("time").Value(line.time);
        json.Key("time_ms").Value(static_cast<long long>(line.timeMs));
        json.Key("text").Value(std::u16string_view(line.text));
        if (!line.words.empty()) {
            json.Key("words").BeginArray();
            for (const LrcWord& word : line.words) {
                json.BeginObject();
                json.Key("time_ms").Value(static_cast<long long>(word.timeMs));
                json.Key("text").Value(std::u16string_view(word.text));
                json.EndObject();
            }
            json.EndArray();
        }
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
