#include "core/recording/TakeFiles.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/recording/Mp3StreamWriter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <system_error>

namespace linlangok {
namespace {

constexpr std::string_view kMp3Prefix = ".$$a";
constexpr std::string_view kPerformancePrefix = ".$$performance";
constexpr size_t kLongestNumber = 9; // digits
constexpr std::uint64_t kMp3BytesPerSecond = 16000; // 128 kbit/s
constexpr std::uint64_t kPcmBytesPerSecond = 176400;
constexpr size_t kCopyBlock = 64 * 1024;
constexpr size_t kEncodeBlockFrames = 88200; // two seconds, as the recorder hands them over
constexpr size_t kListedTakes = 8;

// The take a file's name belongs to; nothing for any other name.
std::optional<int> TakeNumberOf(const std::string& name)
{
    std::string_view rest(name);
    for (const std::string_view prefix : {kPerformancePrefix, kMp3Prefix}) {
        if (rest.starts_with(prefix)) {
            rest.remove_prefix(prefix.size());
            break;
        }
    }
    const size_t digits = std::min(rest.find_first_not_of("0123456789"), rest.size());
    const std::optional<int> number = digits == 0 ? 1 : ParseNumber<int>(rest.substr(0, digits));
    if (!number || digits > kLongestNumber)
        return std::nullopt;
    // Only the names the number gives: no "0" in front, no ".$$a1.tmp".
    const TakePaths paths = TakeFilePaths({}, *number);
    for (const auto* path : {&paths.mp3, &paths.accompaniment, &paths.voice, &paths.audition}) {
        if (path->filename() == name)
            return *number;
    }
    return std::nullopt;
}

// Whether the path names anything, a dangling link included; nothing when that cannot be told.
std::optional<bool> Exists(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return false;
    if (error)
        return std::nullopt;
    return true;
}

std::uint64_t SizeOf(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// "2026-12-07 21:30, 3 分 12 秒"
std::u16string Describe(const DeadTake& take)
{
    char when[32] = "";
    if (const std::tm* local = std::localtime(&take.recorded))
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", local);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(take.length).count();
    const std::u16string length = seconds >= 60
        ? Formatted(Tr("TakeFiles", "%1 分 %2 秒"),
            {Utf8ToUtf16(std::to_string(seconds / 60)), Utf8ToUtf16(std::to_string(seconds % 60))})
        : Formatted(Tr("TakeFiles", "%1 秒"), {Utf8ToUtf16(std::to_string(seconds))});
    return Utf8ToUtf16(when) + u", " + length;
}

// Hands a regular file to take from its start to its end, in blocks of up to blockBytes. False when
// it cannot be read or take refuses a block.
template <typename Take> bool ReadInBlocks(const std::filesystem::path& path, size_t blockBytes, Take take)
{
    const CRegularFile file(path, std::numeric_limits<std::uint64_t>::max());
    std::vector<char> block(blockBytes);
    for (std::uint64_t offset = 0; file.IsOpen() && offset < file.Size(); offset += blockBytes) {
        const auto count = static_cast<size_t>(std::min<std::uint64_t>(blockBytes, file.Size() - offset));
        if (!file.ReadAt(offset, block.data(), count) || !take(block.data(), count))
            return false;
    }
    return file.IsOpen();
}

// Encodes a file of 44.1 kHz 16-bit stereo PCM as the recorder's MP3, through a CFileSaver.
bool EncodePcmToMp3(const std::filesystem::path& pcm, const std::filesystem::path& target, IMp3EncoderLibrary* library)
{
    const std::unique_ptr<IMp3Encoder> encoder
        = library ? library->InitStream(RecordingEncoderSettings(128, 0)) : nullptr;
    CFileSaver out(target);
    if (!encoder || !out.IsOpen())
        return false;
    std::vector<std::int16_t> samples(kEncodeBlockFrames * 2);
    std::vector<std::uint8_t> encoded;
    const auto encode = [&](const char* bytes, size_t count) {
        const size_t frames = count / 4;
        std::memcpy(samples.data(), bytes, frames * 4);
        return frames == 0
            || (encoder->Encode(samples.data(), frames, encoded) && out.Write(encoded.data(), encoded.size()));
    };
    return ReadInBlocks(pcm, samples.size() * 2, encode) && encoder->Flush(encoded)
        && out.Write(encoded.data(), encoded.size()) && out.Commit();
}

} // namespace

TakePaths TakeFilePaths(const std::filesystem::path& folder, int number)
{
    const std::string digits = std::to_string(number);
    const std::string performance = std::string(kPerformancePrefix) + digits;
    return {folder / (std::string(kMp3Prefix) + (number == 1 ? "" : digits) + ".tmp"),
        folder / (performance + "-accompaniment.tmp"), folder / (performance + "-voice.tmp"),
        folder / (performance + ".wav")};
}

std::filesystem::path UnsavedTakeName(std::time_t recorded)
{
    char stamp[32] = "";
    if (const std::tm* local = std::localtime(&recorded))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", local);
    return std::string("未保存的录音 ") + stamp + ".mp3";
}

void DeadTake::RemoveFiles()
{
    for (const LockedFile& file : files) {
        std::error_code ignored;
        std::filesystem::remove(file.path, ignored);
    }
}

CTakeFolder::CTakeFolder(IFileLocks& locks, std::filesystem::path folder)
    : m_locks(locks)
    , m_folder(std::move(folder))
{
}

std::optional<LockedFile> CTakeFolder::CreateLocked(const std::filesystem::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (!file)
        return std::nullopt;
    std::fclose(file);
    // No one else can hold the lock of a file just made under the folder's lock: a file system
    // without locks leaves the file unlocked, and its takes are never taken for dead.
    return LockedFile(path, m_locks.TryLock(path));
}

std::optional<NewTake> CTakeFolder::CreateTake()
{
    const auto folderLock = m_locks.Lock(m_folder);
    for (int number = 1; number < INT_MAX; ++number) {
        const TakePaths paths = TakeFilePaths(m_folder, number);
        bool taken = false;
        for (const auto* path : {&paths.mp3, &paths.accompaniment, &paths.voice, &paths.audition}) {
            const auto exists = Exists(*path);
            if (!exists)
                return std::nullopt;
            taken |= *exists;
        }
        if (taken)
            continue;
        auto mp3 = CreateLocked(paths.mp3);
        if (!mp3)
            return std::nullopt;
        return NewTake {number, std::move(*mp3)};
    }
    return std::nullopt;
}

std::optional<std::pair<LockedFile, LockedFile>> CTakeFolder::CreatePerformanceFiles(int number)
{
    const auto folderLock = m_locks.Lock(m_folder);
    const TakePaths paths = TakeFilePaths(m_folder, number);
    auto accompaniment = CreateLocked(paths.accompaniment);
    if (!accompaniment)
        return std::nullopt;
    auto voice = CreateLocked(paths.voice);
    if (!voice) {
        std::error_code ignored;
        std::filesystem::remove(paths.accompaniment, ignored);
        return std::nullopt;
    }
    return std::pair {std::move(*accompaniment), std::move(*voice)};
}

std::vector<DeadTake> CTakeFolder::ClaimDeadTakes()
{
    std::map<int, DeadTake> found;
    {
        const auto folderLock = m_locks.Lock(m_folder);
        std::map<int, bool> live;
        ForEachFolderEntry(m_folder, [&](const std::filesystem::directory_entry& entry) {
            const auto number = TakeNumberOf(entry.path().filename().string());
            if (!number || live[*number])
                return true;
            // A take with a file that is held, or that is no regular file, is not this process's.
            std::error_code ignored;
            auto lock = entry.symlink_status(ignored).type() == std::filesystem::file_type::regular
                ? m_locks.TryLock(entry.path())
                : nullptr;
            if (!lock) {
                live[*number] = true;
                found.erase(*number);
                return true;
            }
            found[*number].files.emplace_back(entry.path(), std::move(lock));
            return true;
        });
    }
    std::vector<DeadTake> takes;
    for (auto& [number, take] : found) {
        const TakePaths paths = TakeFilePaths(m_folder, number);
        const auto holds = [&files = take.files](const std::filesystem::path& path, std::uint64_t least) {
            return std::any_of(files.begin(), files.end(), [&path](const LockedFile& file) {
                return file.path == path;
            }) && SizeOf(path) >= least;
        };
        if (holds(paths.mp3, 1))
            take.voice = paths.mp3;
        else if (holds(paths.voice, 4))
            take.voice = paths.voice;
        if (take.voice.empty()) {
            take.RemoveFiles();
            continue;
        }
        take.voiceIsPcm = take.voice == paths.voice;
        const std::uint64_t bytesPerSecond = take.voiceIsPcm ? kPcmBytesPerSecond : kMp3BytesPerSecond;
        take.length = std::chrono::milliseconds(SizeOf(take.voice) * 1000 / bytesPerSecond);
        std::error_code error;
        const auto written = std::filesystem::last_write_time(take.voice, error);
        if (!error)
            take.recorded = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
        takes.push_back(std::move(take));
    }
    std::stable_sort(takes.begin(), takes.end(),
        [](const DeadTake& first, const DeadTake& second) { return first.recorded < second.recorded; });
    return takes;
}

TakeSaveResult RunTakeSaveFlow(
    IUserPrompts& prompts, std::u16string title, const std::function<bool(const std::filesystem::path&)>& write)
{
    FileDialogRequest request;
    request.title = std::move(title);
    request.filters = {{u"Music Files (*.mp3)", u"*.mp3"}};
    request.defaultExtension = u"mp3";
    for (;;) {
        const auto target = prompts.AskSavePathConfirmingOverwrite(request);
        if (!target) {
            const EPromptAnswer answer = prompts.ShowMessage({ApplicationTitle(),
                Tr("TakeFiles", "这段录音还没有保存, 要放弃它吗?"), EMessageButtons::YesNo, EMessageIcon::Question});
            if (answer == EPromptAnswer::Yes)
                return {ETakeFate::Discarded, {}};
            if (answer != EPromptAnswer::No)
                return {};
            continue;
        }
        if (write(*target))
            return {ETakeFate::Saved, *target};
        prompts.ShowMessage(
            {std::u16string(CaptionError()), Formatted(Tr("TakeFiles", "无法保存文件 %1"), {PathToUtf16(*target)}),
                EMessageButtons::Ok, EMessageIcon::Error});
    }
}

bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    CFileSaver out(to);
    return out.IsOpen()
        && ReadInBlocks(from, kCopyBlock, [&out](const char* bytes, size_t count) { return out.Write(bytes, count); })
        && out.Commit();
}

void OfferDeadTakes(CTakeFolder& folder, IUserPrompts& prompts, IMp3EncoderLibrary* encoder)
{
    std::vector<DeadTake> takes = folder.ClaimDeadTakes();
    if (takes.empty())
        return;
    std::u16string list;
    for (size_t index = 0; index < takes.size() && index < kListedTakes; ++index)
        list += u"\n    " + Describe(takes[index]);
    if (takes.size() > kListedTakes)
        list += u"\n    ……";
    const std::u16string text = Formatted(Tr("TakeFiles",
                                              "程序上次没有正常结束, 留下了 %1 段没有保存的录音:\n%2\n\n"
                                              "选“是”逐段保存, 选“否”删除它们, 选“取消”下次启动时再问。"),
        {Utf8ToUtf16(std::to_string(takes.size())), list});
    const EPromptAnswer answer
        = prompts.ShowMessage({ApplicationTitle(), text, EMessageButtons::YesNoCancel, EMessageIcon::Question});
    if (answer != EPromptAnswer::Yes && answer != EPromptAnswer::No)
        return;
    for (DeadTake& take : takes) {
        const auto write = [&take, encoder](const std::filesystem::path& target) {
            // Not onto one of its own files, which go when it is saved.
            const bool own = std::any_of(take.files.begin(), take.files.end(), [&target](const LockedFile& file) {
                std::error_code error;
                return std::filesystem::equivalent(target, file.path, error);
            });
            if (own)
                return false;
            return take.voiceIsPcm ? EncodePcmToMp3(take.voice, target, encoder)
                                   : CopyFileReplacing(take.voice, target);
        };
        if (answer == EPromptAnswer::No
            || RunTakeSaveFlow(prompts, Formatted(Tr("TakeFiles", "保存录于 %1 的录音"), {Describe(take)}), write).fate
                != ETakeFate::Unanswered)
            take.RemoveFiles();
    }
}

} // namespace linlangok
