#include "common/FilePath.h"
#include "common/JsonWriter.h"
#include "common/Number.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/catalog/CatalogCache.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/RoomCatalogStore.h"
#include "core/catalog/SongQueue.h"
#include "core/lyrics/LyricFileLookup.h"
#include "platform/database/CatalogSelection.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/tags/SongFileReader.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tools/Commands.h"

#include <chrono>
#include <iostream>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kDefaultSearchLimit = 20;
constexpr size_t kMaximumSearchLimit = 100000;

void WriteSong(CJsonWriter& json, const CatalogSong& song)
{
    json.Key("id").Value(static_cast<long long>(song.id)).Key("title").Value(std::u16string_view(song.title));
    json.Key("singer").Value(std::u16string_view(song.singer)).Key("path").Value(PathToUtf16(song.path));
    json.Key("kind").Value(song.format).Key("length_ms").Value(song.lengthMilliseconds);
}

void WriteEntry(CJsonWriter& json, const QueueEntry& entry)
{
    json.BeginObject().Key("id").Value(static_cast<long long>(entry.songId));
    json.Key("title").Value(std::u16string_view(entry.title)).Key("singer").Value(std::u16string_view(entry.singer));
    json.Key("performer").Value(std::u16string_view(entry.performer));
    json.Key("path").Value(PathToUtf16(entry.path)).EndObject();
}

int AddFolder(ToolContext& context, const std::string& folderArgument)
{
    std::error_code error;
    const std::filesystem::path folder
        = std::filesystem::weakly_canonical(std::filesystem::absolute(folderArgument, error), error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("CatalogCommands", "“%1”不是一个文件夹。"), {Utf8ToUtf16(folderArgument)}));
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto store = OpenCatalogStore(context);
    store->AddFolder(folder);
    CIcuTextReadings readings;
    CVideoSongReader videoReader;
    CSongFileReader reader(context.codePage, context.textEncodings, LyricFolder(context.programFolder), &videoReader);
    const CPathDisplay names(context.codePage, context.textEncodings);
    CCatalogScanner scanner(*store, reader, readings, readings, names);
    const ScanReport report = scanner.Scan(std::stop_token());
    for (const std::filesystem::path& path : report.unreadable)
        std::cerr << "unreadable: " << path.string() << '\n';
    for (const std::filesystem::path& path : report.unreadableFolders)
        context.prompts.ShowError(CaptionWarning(), UnreadableFolderText(names.Text(PathToUtf16(path))));
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    CJsonWriter json(std::cout);
    json.BeginObject().Key("songs").Value(static_cast<long long>(report.songs));
    json.Key("added").Value(static_cast<long long>(report.added));
    json.Key("changed").Value(static_cast<long long>(report.changed));
    json.Key("removed").Value(static_cast<long long>(report.removed));
    json.Key("unreadable").Value(static_cast<long long>(report.unreadable.size()));
    json.Key("unreadable_folders").Value(static_cast<long long>(report.unreadableFolders.size()));
    json.Key("seconds").Value(seconds.count()).EndObject();
    std::cout << '\n';
    return 0;
}

// "--limit N" taken out of the arguments; nothing when N is not a number in range.
std::optional<size_t> TakeLimit(std::vector<std::string>& arguments)
{
    const auto option = std::find(arguments.begin(), arguments.end(), "--limit");
    if (option == arguments.end())
        return kDefaultSearchLimit;
    if (option + 1 == arguments.end())
        return std::nullopt;
    const std::optional<size_t> limit = ParseArgument<size_t>(*(option + 1), 1, kMaximumSearchLimit);
    if (!limit)
        return std::nullopt;
    arguments.erase(option, option + 2);
    return limit;
}

// The catalogue's songs into the index; a venue's room whose server is away searches the songs its
// program loaded last, and says so.
void LoadForSearch(ToolContext& context, CCatalogIndex& index)
{
    const CCatalogSelection selection(context.programFolder);
    try {
        const std::unique_ptr<ICatalogStore> store = OpenCatalogStore(context);
        index.Build(store->LoadSongs(), store->LoadedRevision());
    } catch (const std::runtime_error& error) {
        std::optional<CatalogSnapshot> cached;
        if (selection.IsShared())
            cached = LoadCatalogCache(context.programFolder / kCatalogCacheFileName);
        if (!cached)
            throw;
        context.prompts.ShowError(CaptionWarning(),
            Formatted(Tr("CatalogCommands", "歌库离线，搜索的是上次载入的歌曲：%1"), {Utf8ToUtf16(error.what())}));
        index.Build(std::move(cached->songs), cached->revision);
    }
}

// The song `queue add` names: a catalogue id, a catalogued song's path, else the best match of the
// argument as a query; null when none is.
const CatalogSong* ChooseSong(ToolContext& context, CCatalogIndex& index, const std::string& argument)
{
    LoadForSearch(context, index);
    if (const std::optional<std::int64_t> id = ParseNumber<std::int64_t>(argument))
        if (const CatalogSong* song = index.Find(*id))
            return song;
    std::error_code error;
    const std::filesystem::path path
        = std::filesystem::weakly_canonical(std::filesystem::absolute(argument, error), error);
    const auto atPath = std::find_if(
        index.Songs().begin(), index.Songs().end(), [&path](const CatalogSong& song) { return song.path == path; });
    if (!error && atPath != index.Songs().end())
        return &*atPath;
    const std::vector<SearchResult> found = index.Search(Utf8ToUtf16(argument), {}, 1);
    return found.empty() ? nullptr : found[0].song;
}

std::optional<std::string> TakeOption(std::vector<std::string>& arguments, const char* name)
{
    const auto option = std::find(arguments.begin(), arguments.end(), name);
    if (option == arguments.end() || option + 1 == arguments.end())
        return std::nullopt;
    std::string value = *(option + 1);
    arguments.erase(option, option + 2);
    return value;
}

int RunQueue(ToolContext& context, std::vector<std::string> arguments)
{
    const std::filesystem::path file = context.programFolder / kSongQueueFileName;
    // Read, changed and written under the folder's lock, as the program and serve change it.
    const auto lock = context.fileLocks.Lock(context.programFolder);
    std::u16string warning;
    std::string text;
    CSongQueue queue = LoadSongQueue(file, warning, text);
    if (!warning.empty())
        context.prompts.ShowError(CaptionWarning(), warning);
    const std::string action = arguments[0];
    // A venue's room keeps its queue, and the plays it counts, while the server is away.
    const CCatalogSelection selection(context.programFolder);
    CPendingCounts pending(context.programFolder / kPendingCountsFileName, context.fileLocks);
    const std::unique_ptr<ICatalogStore> store = OpenRoomStore(context, selection, pending);
    std::optional<QueueEntry> queued;
    if (action == "add") {
        const std::string performer = TakeOption(arguments, "--performer").value_or("");
        if (arguments.size() != 2)
            return UsageError(kQueueUsage);
        CIcuTextReadings readings;
        CCatalogIndex index(readings);
        const CatalogSong* song = ChooseSong(context, index, arguments[1]);
        if (!song) {
            context.prompts.ShowError(
                CaptionError(), Formatted(Tr("CatalogCommands", "歌库中没有“%1”。"), {Utf8ToUtf16(arguments[1])}));
            return 1;
        }
        const std::optional<std::uint64_t> ticket
            = queue.Add({song->id, song->path, song->title, song->singer, Utf8ToUtf16(performer), false, 0, {}, {}});
        if (!ticket) {
            context.prompts.ShowError(CaptionError(), Tr("CatalogCommands", "已点歌曲已满。"));
            return 1;
        }
        queued = queue.Entries()[*queue.Find(*ticket)];
    } else if (action == "next") {
        if (const std::optional<QueueEntry> current = queue.Next(); current && current->songId)
            store->CountSung(current->songId);
    } else if (action == "clear") {
        queue.Clear();
    } else if (action != "list" || arguments.size() != 1) {
        return UsageError(kQueueUsage);
    }
    if (action != "list" && !SaveSongQueue(file, queue)) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("CatalogCommands", "无法保存已点歌曲文件“%1”。"), {PathToUtf16(file)}));
        return 1;
    }
    CJsonWriter json(std::cout);
    json.BeginObject();
    if (queued) {
        json.Key("queued");
        WriteEntry(json, *queued);
    }
    if (queue.Current()) {
        json.Key("current");
        WriteEntry(json, *queue.Current());
    }
    json.Key("queue").BeginArray();
    for (const QueueEntry& entry : queue.Entries())
        WriteEntry(json, entry);
    json.EndArray().EndObject();
    std::cout << '\n';
    return 0;
}

// A venue's room's plays counted and not yet sent, sent now when the server can be reached: after
// the queue, so that the program folder's lock is not held meanwhile.
void SendPlays(ToolContext& context)
{
    const CCatalogSelection selection(context.programFolder);
    if (!selection.IsShared())
        return;
    CPendingCounts pending(context.programFolder / kPendingCountsFileName, context.fileLocks);
    try {
        SendPendingCounts(pending, *selection.Connect());
    } catch (const std::runtime_error& error) {
        context.prompts.ShowError(CaptionWarning(),
            Formatted(Tr("CatalogCommands", "歌库离线，点唱次数连上后送出：%1"), {Utf8ToUtf16(error.what())}));
    }
}

} // namespace

std::unique_ptr<ICatalogStore> OpenCatalogStore(ToolContext& context)
{
    std::u16string warning;
    std::unique_ptr<ICatalogStore> store = CCatalogSelection(context.programFolder).Open(&warning);
    if (!warning.empty())
        context.prompts.ShowError(CaptionWarning(), warning);
    return store;
}

std::unique_ptr<ICatalogStore> OpenRoomStore(
    ToolContext& context, const CCatalogSelection& selection, CPendingCounts& pending)
{
    if (!selection.IsShared())
        return OpenCatalogStore(context);
    return std::make_unique<CRoomCatalogStore>([&selection] { return selection.Connect(); }, pending);
}

int RunCatalogCommand(ToolContext& context)
{
    std::vector<std::string>& arguments = context.arguments;
    try {
        if (arguments.size() == 2 && arguments[0] == "add")
            return AddFolder(context, arguments[1]);
        const std::optional<size_t> limit = TakeLimit(arguments);
        if (!limit || arguments.size() != 2 || arguments[0] != "search")
            return UsageError(kCatalogUsage);
        CIcuTextReadings readings;
        CCatalogIndex index(readings);
        LoadForSearch(context, index);
        CJsonWriter json(std::cout);
        json.BeginArray();
        for (const SearchResult& result : index.Search(Utf8ToUtf16(arguments[1]), {}, *limit)) {
            json.BeginObject();
            WriteSong(json, *result.song);
            json.Key("why").Value(SearchWhyName(result.match.why)).EndObject();
        }
        json.EndArray();
        std::cout << '\n';
        return 0;
    } catch (const std::runtime_error& error) {
        context.prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return 1;
    }
}

int RunQueueCommand(ToolContext& context)
{
    if (context.arguments.empty())
        return UsageError(kQueueUsage);
    try {
        const int result = RunQueue(context, context.arguments);
        if (result == 0 && context.arguments[0] == "next")
            SendPlays(context);
        return result;
    } catch (const std::runtime_error& error) {
        context.prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        return 1;
    }
}

} // namespace linlangok
