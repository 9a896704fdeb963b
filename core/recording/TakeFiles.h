#pragma once

#include "common/FileLock.h"
#include "common/UserPrompts.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The takes' temporary files in the program folder and their save flow. A process holds the lock
// of every temporary file it works with; a take whose files no one holds was left by a process
// that ended without saving it (a crash, a kill) and is offered for saving at the next start.
namespace linlangok {

class IMp3EncoderLibrary;

// A temporary file and its lock (null: not locked, as for files a test makes by hand).
struct LockedFile {
    LockedFile() = default;
    LockedFile(std::filesystem::path path, std::unique_ptr<IFileLock> lock = nullptr)
        : path(std::move(path))
        , lock(std::move(lock))
    {
    }

    std::filesystem::path path;
    std::unique_ptr<IFileLock> lock;
};

// The files of take `number` (1 and up) in `folder`: the voice as MP3 (".$$a.tmp" for take 1,
// ".$$aN.tmp" after), its performance's accompaniment and voice as 16-bit stereo PCM
// (".$$performanceN-accompaniment.tmp", ".$$performanceN-voice.tmp") and the mix auditioned in
// the performance window (".$$performanceN.wav").
struct TakePaths {
    std::filesystem::path mp3;
    std::filesystem::path accompaniment;
    std::filesystem::path voice;
    std::filesystem::path audition;
};
TakePaths TakeFilePaths(const std::filesystem::path& folder, int number);

// The name of a take kept where nobody could say where to save it, after the local time it was
// recorded at: "未保存的录音 2026-12-07 21-30-05.mp3". UI thread (the C library's local time).
std::filesystem::path UnsavedTakeName(std::time_t recorded);

// A take left by a process that ended without saving it. Its files stay locked by this process
// while the object lives; destroying it leaves them where they are.
struct DeadTake {
    std::vector<LockedFile> files; // every file of the take
    std::filesystem::path voice; // its MP3, else its performance's PCM voice
    bool voiceIsPcm = false;
    std::time_t recorded = 0; // when the voice was last written
    std::chrono::milliseconds length {0}; // of the voice

    void RemoveFiles();
};

// A new take's number and its MP3 file.
struct NewTake {
    int number = 0;
    LockedFile mp3;
};

// The takes of one program folder. Their files are created and looked at under the folder's lock,
// so that no process sees a file between its creation and its own lock. UI thread of each process.
class CTakeFolder {
public:
    // `locks` outlives the object.
    CTakeFolder(IFileLocks& locks, std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return m_folder; }

    // A new take under the smallest number none of whose files exist, so that numbers are used
    // again and never run out: its MP3 file created empty and locked. Nothing when it cannot be.
    std::optional<NewTake> CreateTake();
    // The performance files of take `number`, created empty and locked (accompaniment, voice).
    // Nothing when either cannot be.
    std::optional<std::pair<LockedFile, LockedFile>> CreatePerformanceFiles(int number);
    // The takes of regular files whose locks no process holds, now locked by this one, oldest
    // first. Files that hold nothing of a voice (an empty take, an audition alone) are removed.
    std::vector<DeadTake> ClaimDeadTakes();

private:
    // Creates the file, which must not exist, and locks it. The caller holds the folder's lock.
    std::optional<LockedFile> CreateLocked(const std::filesystem::path& path);

    IFileLocks& m_locks;
    std::filesystem::path m_folder;
};

// How a take's save flow ended.
enum class ETakeFate {
    Saved, // where the user chose
    Discarded, // on the user's word
    Unanswered, // nobody answered (the program is being ended): the take is still where it was
};

struct TakeSaveResult {
    ETakeFate fate = ETakeFate::Unanswered;
    std::filesystem::path path; // where it was saved or kept
};

// The save-as flow of a take, as "停止" under "录音" runs it: the save dialog titled `title` for
// an MP3 file, asking before overwriting; `write` puts the take at the chosen path (false: "无法
// 保存文件 PATH" is shown and the dialog comes again). A cancelled dialog asks whether to discard
// the take: Yes discards it, No shows the dialog again.
TakeSaveResult RunTakeSaveFlow(
    IUserPrompts& prompts, std::u16string title, const std::function<bool(const std::filesystem::path&)>& write);

// Copies the file through a CFileSaver, so a failed copy never leaves half a file where a good one
// was. False when it fails.
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// The takes left by processes that ended without saving them, offered as one question: Yes runs
// each one's save flow (its voice as MP3: the MP3 as it was written, or the performance's PCM
// voice encoded through `encoder`), No removes them all, Cancel or no answer leaves them for the
// next start. A take saved or discarded is removed with all its files; its performance cannot be
// mixed again, since the alignment of its voice was never written down.
void OfferDeadTakes(CTakeFolder& takes, IUserPrompts& prompts, IMp3EncoderLibrary* encoder);

} // namespace linlangok
