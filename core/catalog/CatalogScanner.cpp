#include "core/catalog/CatalogScanner.h"

#include "common/SongKind.h"
#include "common/Translation.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/SongNaming.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace linlangok {
namespace {

// Songs stored together in one transaction.
constexpr size_t kBatchSongs = 1000;

bool IsUnder(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return mismatch.first == folder.end() || (std::next(mismatch.first) == folder.end() && mismatch.first->empty());
}

bool IsUnderAny(const std::filesystem::path& path, const std::vector<std::filesystem::path>& folders)
{
    return std::any_of(
        folders.begin(), folders.end(), [&path](const std::filesystem::path& folder) { return IsUnder(path, folder); });
}

} // namespace

FoundSongFiles FindSongFiles(const std::filesystem::path& folder, std::stop_token stop)
{
    FoundSongFiles found;
    // Folder by folder, so that each one that cannot be listed is known (a recursive iterator
    // skips them unseen, or ends at the first). Links to folders are not followed.
    std::vector<std::filesystem::path> pending {folder};
    while (!pending.empty() && !stop.stop_requested()) {
        const std::filesystem::path listed = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        const size_t listedFrom = found.files.size();
        std::filesystem::directory_iterator walk(listed, error);
        for (const std::filesystem::directory_iterator end; !error && walk != end; walk.increment(error)) {
            std::error_code entryError;
            if (walk->is_directory(entryError) && !walk->is_symlink(entryError)) {
                pending.push_back(walk->path());
                continue;
            }
            if (!walk->is_regular_file(entryError) || !IsSongFile(walk->path()))
                continue;
            const std::uint64_t size = walk->file_size(entryError);
            const auto modified = walk->last_write_time(entryError);
            if (!entryError)
                found.files.push_back({walk->path(), size, modified.time_since_epoch().count()});
        }
        if (error)
            found.unreadableFolders.push_back(listed);
        LeaveOutUltraStarMedia(found.files, listedFrom, [](const SongFile& file) { return file.path; });
    }
    return found;
}

std::u16string CapCatalogText(std::u16string text)
{
    if (text.size() > kLongestCatalogText) {
        const bool splitsPair = text[kLongestCatalogText] >= 0xDC00 && text[kLongestCatalogText] <= 0xDFFF;
        text.resize(kLongestCatalogText - (splitsPair ? 1 : 0));
    }
    return text;
}

ScanPlan PlanScan(const std::vector<CatalogSong>& stored, std::vector<SongFile> found, const IdentifyFile& identify)
{
    ScanPlan plan;
    std::unordered_map<std::string, const CatalogSong*> byPath;
    for (const CatalogSong& song : stored)
        byPath.emplace(song.path.native(), &song);
    std::vector<SongFile> unknown;
    for (SongFile& file : found) {
        const auto known = byPath.find(file.path.native());
        if (known == byPath.end()) {
            unknown.push_back(std::move(file));
            continue;
        }
        if (known->second->size == file.size && known->second->modified == file.modified)
            ++plan.unchanged;
        else
            plan.changed.emplace_back(known->second->id, std::move(file));
        byPath.erase(known);
    }
    // What is left in byPath was not found: each is removed unless a new file is it, moved.
    std::multimap<std::uint64_t, const CatalogSong*> vanishedBySize;
    for (const auto& [path, song] : byPath)
        vanishedBySize.emplace(song->size, song);
    for (SongFile& file : unknown) {
        std::optional<SongIdentity> identity;
        const auto [first, last] = vanishedBySize.equal_range(file.size);
        if (first != last)
            identity = identify(file.path);
        auto same = first;
        while (identity && same != last && same->second->identity != *identity)
            ++same;
        if (identity && same != last) {
            plan.changed.emplace_back(same->second->id, std::move(file));
            byPath.erase(same->second->path.native());
            vanishedBySize.erase(same);
        } else {
            plan.added.push_back(std::move(file));
        }
    }
    for (const auto& [path, song] : byPath)
        plan.removed.push_back(song->id);
    std::sort(plan.removed.begin(), plan.removed.end());
    return plan;
}

std::u16string UnreadableFolderText(std::u16string_view folder)
{
    return Formatted(Tr("CatalogScanner", "无法读取歌曲文件夹“%1”，其中的歌曲保持原样。"), {folder});
}

CCatalogScanner::CCatalogScanner(
    ICatalogStore& store, ISongReader& reader, ITextFolding& folding, IPinyin& pinyin, const CPathDisplay& names)
    : m_store(store)
    , m_reader(reader)
    , m_folding(folding)
    , m_pinyin(pinyin)
    , m_names(names)
{
}

CatalogSong CCatalogScanner::Describe(const SongFile& file, const std::optional<SongDetails>& details)
{
    CatalogSong song;
    song.path = file.path;
    song.size = file.size;
    song.modified = file.modified;
    song.format = SongFileFormat(PathToUtf16(file.path)).value_or("");
    const SongName name = ParseSongFileName(m_names.Text(PathToUtf16(file.path.stem())));
    song.title = CapCatalogText(details && !details->title.empty() ? details->title : name.title);
    song.singer = CapCatalogText(details && !details->singer.empty() ? details->singer : name.singer);
    song.lengthMilliseconds = details ? details->lengthMilliseconds : 0;
    song.cover = details ? details->cover : std::filesystem::path();
    song.language = GuessLanguage(song.title, song.singer);
    song.identity = IdentifySong(file.path).value_or(SongIdentity {file.size, 0});
    song.titleReadings = ComposeReadings(m_folding.Fold(song.title), m_pinyin);
    song.singerReadings = ComposeReadings(m_folding.Fold(song.singer), m_pinyin);
    return song;
}

ScanReport CCatalogScanner::Scan(std::stop_token stop, const ScanProgress& progress)
{
    ScanReport report;
    std::vector<CatalogSong> stored = m_store.LoadSongs();
    std::vector<std::filesystem::path> presentFolders;
    std::vector<SongFile> found;
    for (const std::filesystem::path& folder : m_store.Folders()) {
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) {
            report.unreadableFolders.push_back(folder);
            continue;
        }
        FoundSongFiles files = FindSongFiles(folder, stop);
        found.insert(
            found.end(), std::make_move_iterator(files.files.begin()), std::make_move_iterator(files.files.end()));
        report.unreadableFolders.insert(
            report.unreadableFolders.end(), files.unreadableFolders.begin(), files.unreadableFolders.end());
        presentFolders.push_back(folder);
    }
    if (stop.stop_requested()) {
        report.songs = stored.size();
        report.cancelled = true;
        return report;
    }
    // What is under a folder that was listed is known now; what is under one that could not be
    // read (wholly or in part) stays as it was.
    const auto known = [&](const std::filesystem::path& path) {
        return IsUnderAny(path, presentFolders) && !IsUnderAny(path, report.unreadableFolders);
    };
    if (!report.unreadableFolders.empty())
        std::erase_if(found, [&known](const SongFile& file) { return !known(file.path); });
    // A song under two nested song folders is found twice.
    std::sort(found.begin(), found.end(), [](const SongFile& a, const SongFile& b) { return a.path < b.path; });
    found.erase(
        std::unique(found.begin(), found.end(), [](const SongFile& a, const SongFile& b) { return a.path == b.path; }),
        found.end());
    std::vector<CatalogSong> inPresentFolders;
    std::copy_if(stored.begin(), stored.end(), std::back_inserter(inPresentFolders),
        [&known](const CatalogSong& song) { return known(song.path); });

    CatalogChanges batch;
    // Files remembered as unreadable are not read again while they are as they were then; the
    // others are forgotten (a changed one is read again below).
    std::unordered_map<std::string, SongFile> remembered;
    for (SongFile& file : m_store.LoadUnreadable())
        remembered.emplace(file.path.native(), std::move(file));
    std::erase_if(found, [&](const SongFile& file) {
        const auto entry = remembered.find(file.path.native());
        if (entry == remembered.end())
            return false;
        const bool unchanged = entry->second == file;
        (unchanged ? report.unreadable : batch.forgotten).push_back(file.path);
        remembered.erase(entry);
        return unchanged;
    });
    for (const auto& [path, file] : remembered)
        if (known(file.path))
            batch.forgotten.push_back(file.path);

    const ScanPlan plan = PlanScan(inPresentFolders, std::move(found), IdentifySong);
    const size_t total = plan.added.size() + plan.changed.size();
    size_t done = 0;
    batch.removed = plan.removed;
    auto flush = [&]() {
        report.added += batch.added.size();
        report.changed += batch.changed.size();
        report.removed += batch.removed.size();
        m_store.Apply(batch);
        batch = {};
    };
    auto read = [&](const SongFile& file, std::int64_t id) {
        std::optional<CatalogSong> song;
        try {
            if (const std::optional<SongDetails> details = m_reader.Read(file.path))
                song = Describe(file, details);
        } catch (const std::exception&) {
            // A file that makes a reader fail is as unreadable as one it refuses.
        }
        if (!song) {
            report.unreadable.push_back(file.path);
            batch.unreadable.push_back(file);
            if (id != 0)
                batch.removed.push_back(id);
        } else {
            song->id = id;
            (id ? batch.changed : batch.added).push_back(std::move(*song));
        }
        if (++done % 64 == 0 && progress)
            progress(done, total);
        if (batch.added.size() + batch.changed.size() + batch.unreadable.size() >= kBatchSongs)
            flush();
    };
    for (const auto& [id, file] : plan.changed) {
        if (stop.stop_requested())
            break;
        read(file, id);
    }
    for (const SongFile& file : plan.added) {
        if (stop.stop_requested())
            break;
        read(file, 0);
    }
    flush();
    if (progress)
        progress(done, total);
    report.cancelled = stop.stop_requested();
    report.songs = stored.size() + report.added - report.removed;
    return report;
}

} // namespace linlangok
