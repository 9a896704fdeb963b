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
    const auto lines = ReadLrcFile(file, context.codePage, kLyricLineHeight);
    if (!lines) {
        context.prompts.ShowError(kCaptionError, u"无法打开歌词文件“" + Utf8ToUtf16(file) + u"”。");
        return 1;
    }
    CJsonWriter json(std::cout);
    json.BeginArray();
    for (const auto& line : *lines)
        json.BeginObject().Key("time").Value(line.time).Key("text").Value(std::u16string_view(line.text)).EndObject();
    json.EndArray();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
