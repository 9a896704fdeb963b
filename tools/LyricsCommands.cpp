#include "common/JsonWriter.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/lyrics/LrcParser.h"
#include "core/lyrics/LyricsLayout.h"
#include "tools/Commands.h"

#include <iostream>
#include <sstream>

namespace linlangok {

int RunLrcCommand(ToolContext& context)
{
    const std::optional<std::string> encoding = TakeEncodingOption(context, kLrcUsage);
    if (!encoding)
        return 2;
    if (context.arguments.size() != 1)
        return UsageError(kLrcUsage);
    const std::string& file = context.arguments[0];
    const CEncodingOverride textEncoding(context.textEncodings, *encoding);
    FileContent content = ReadRegularFile(file, kMaximumLrcFileBytes);
    if (content.result != EFileRead::Done) {
        context.prompts.ShowError(CaptionError(),
            Formatted(Tr("LyricsCommands", "无法打开歌词文件“%1”: %2。"),
                {Utf8ToUtf16(file), FileReadErrorText(content.result)}));
        return 1;
    }
    std::istringstream in(std::move(content.bytes));
    const std::string encodingName = LrcEncodingName(in, context.codePage, textEncoding);
    in.clear();
    in.seekg(0);
    const LrcLyrics lyrics = ReadLrcLines(in, context.codePage, kLyricLineHeight, textEncoding);
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("encoding").Value(encodingName);
    json.Key("offset_ms").Value(static_cast<long long>(lyrics.offsetMs));
    json.Key("lines").BeginArray();
    for (const LyricLine& line : lyrics.lines) {
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
