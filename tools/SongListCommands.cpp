#include "common/FilePath.h"
#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/songlist/SongListFile.h"
#include "tools/Commands.h"

#include <iostream>
#include <span>
#include <string>

namespace linlangok {
namespace {

void PrintList(const SongList& list)
{
    CJsonWriter json(std::cout);
    json.BeginObject().Key("name").Value(std::u16string_view(list.storedName)).Key("flag").Value(list.flag);
    json.Key("songs").BeginArray();
    for (const auto& song : list.songs) {
        json.BeginObject().Key("name").Value(std::u16string_view(song.name));
        json.Key("path").Value(std::u16string_view(song.path)).Key("flag").Value(song.flag).EndObject();
    }
    json.EndArray().EndObject();
    std::cout << '\n';
}

int ShowList(ToolContext& context, const std::string& file)
{
    SongList list;
    switch (ReadSongListFile(file, context.codePage, list)) {
    case ESongListRead::Complete:
        PrintList(list);
        return 0;
    case ESongListRead::Truncated:
        PrintList(list);
        context.prompts.ShowError(CaptionError(),
            Formatted(Tr("SongListCommands", "歌曲列表文件“%1”不完整，只读出了前 %2 首歌曲。"),
                {Utf8ToUtf16(file), Utf8ToUtf16(std::to_string(list.songs.size()))}));
        return 1;
    case ESongListRead::WrongType:
        ShowWrongListType(context.prompts);
        return 1;
    case ESongListRead::Unreadable:
        break;
    }
    context.prompts.ShowError(
        CaptionError(), Formatted(Tr("SongListCommands", "无法打开歌曲列表文件“%1”。"), {Utf8ToUtf16(file)}));
    return 1;
}

int CreateList(ToolContext& context, const std::string& file, std::span<const std::string> songs)
{
    const CPathDisplay names(context.codePage, context.textEncodings);
    SongList list;
    for (const auto& song : songs)
        list.songs.push_back(SongRecordOfPath(PathToUtf16(song), names));
    if (!SaveList(file, list, context.codePage)) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("SongListCommands", "无法写入歌曲列表文件“%1”。"), {Utf8ToUtf16(file)}));
        return 1;
    }
    return 0;
}

} // namespace

int RunListCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() == 2 && arguments[0] == "show")
        return ShowList(context, arguments[1]);
    if (arguments.size() >= 2 && arguments[0] == "create")
        return CreateList(context, arguments[1], std::span(arguments).subspan(2));
    return UsageError(kListUsage);
}

} // namespace linlangok
