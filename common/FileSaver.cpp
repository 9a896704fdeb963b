#include "common/FileSaver.h"

#include "common/FilePath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace linlangok {
namespace {

constexpr int kMaximumLinks = 40; // as the kernel's own limit on links followed in one lookup
constexpr int kNameAttempts = 100;
constexpr std::size_t kLongestNameStem = 200; // leaves room for the temporary name's additions
constexpr std::size_t kCopyBlock = 64 * 1024;
constexpr std::size_t kRandomLetters = 8;
constexpr std::string_view kTemporarySuffix = ".part";
// A saver locks its temporary file the moment after creating it; one whose lock is free and that
// has not been written for this long was left by a process that ended without committing.
constexpr std::time_t kDeadTemporarySeconds = 60;

// The file a path names once symbolic links are followed (it need not exist); empty for a
// link loop or an unreadable link.
std::filesystem::path FollowLinks(std::filesystem::path path)
{
    for (int hop = 0; hop < kMaximumLinks; ++hop) {
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        std::error_code error;
        const auto link = std::filesystem::read_symlink(path, error);
        if (error)
            return {};
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return {};
}

std::string RandomSuffix()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand generator {std::random_device {}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(kRandomLetters, ' ');
    for (char& letter : suffix)
        letter = kLetters[pick(generator)];
    return suffix;
}

// Whether the name is one CreateTemporaryBeside makes.
bool IsTemporaryName(std::string_view name)
{
    const std::size_t end = name.size() - std::min(name.size(), kTemporarySuffix.size() + kRandomLetters);
    const std::string_view random = name.substr(end, kRandomLetters);
    return end >= 3 && name.front() == '.' && name[end - 1] == '.' && name.ends_with(kTemporarySuffix)
        && std::all_of(
            random.begin(), random.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// Removes the temporary files that savers of processes which ended (a crash, a kill) left in the
// folder; never one that a saver holds, and never one written in the last minute.
void RemoveDeadTemporaries(const std::filesystem::path& folder)
{
    const std::time_t now = std::time(nullptr);
    ForEachFolderEntry(folder, [now](const std::filesystem::directory_entry& entry) {
        if (!IsTemporaryName(entry.path().filename().native()))
            return true;
        const int descriptor = ::open(entry.path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (descriptor < 0)
            return true;
        struct stat opened, named;
        // The name must still be the file locked, not one made since under the same name.
        if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode)
            && now - opened.st_mtime >= kDeadTemporarySeconds && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0
            && ::lstat(entry.path().c_str(), &named) == 0 && named.st_dev == opened.st_dev
            && named.st_ino == opened.st_ino)
            ::unlink(entry.path().c_str());
        ::close(descriptor);
        return true;
    });
}

// Creates a new hidden file beside the target: ".NAME.RANDOM.part", which no listing pattern of
// the program's folders ("*.kpl", "*.ini") matches, locked (flock) while the saver has it, so that
// another process never takes it for dead. Returns its descriptor, or -1 with errno set.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temporary)
{
    std::string stem = target.filename().native();
    if (stem.size() > kLongestNameStem)
        stem.resize(kLongestNameStem);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporary = target.parent_path() / ("." + stem + "." + RandomSuffix() + std::string(kTemporarySuffix));
        const int descriptor = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0)
            (void)::flock(descriptor, LOCK_EX | LOCK_NB); // a file system without locks: the age rule alone
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

// A file without a name in the system's temporary folder: it vanishes when closed.
int CreateUnnamedFile()
{
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "linlangok-XXXXXX").native();
    if (error)
        return -1;
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor >= 0)
        ::unlink(pattern.c_str());
    return descriptor;
}

bool WriteAll(int descriptor, const char* bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(descriptor, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the whole of `from` (read from its start) to the current position of `to`.
bool CopyAll(int from, int to)
{
    char block[kCopyBlock];
    for (off_t offset = 0;;) {
        const ssize_t count = ::pread(from, block, sizeof block, offset);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (!WriteAll(to, block, static_cast<std::size_t>(count)))
            return false;
        offset += count;
    }
}

bool SyncFolder(const std::filesystem::path& folder)
{
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return true; // a folder that may be written but not read: nothing more can be done
    const bool synced = ::fsync(descriptor) == 0 || errno == EINVAL; // EINVAL: not supported there
    ::close(descriptor);
    return synced;
}

} // namespace

CFileSaver::CFileSaver(const std::filesystem::path& target)
    : m_target(FollowLinks(target))
{
    if (m_target.empty())
        return;
    struct stat existing;
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return;
    if (exists && (!S_ISREG(existing.st_mode) || ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0))
        return;
    RemoveDeadTemporaries(m_target.parent_path());
    m_descriptor = CreateTemporaryBeside(m_target, m_temporary);
    const int reason = errno;
    if (m_descriptor < 0) {
        m_temporary.clear();
        if (exists && (reason == EACCES || reason == EPERM))
            m_descriptor = CreateUnnamedFile();
    }
}

CFileSaver::~CFileSaver()
{
    Discard();
}

bool CFileSaver::Write(const void* bytes, std::size_t count)
{
    if (!IsOpen() || m_failed)
        return false;
    m_failed = !WriteAll(m_descriptor, static_cast<const char*>(bytes), count);
    return !m_failed;
}

bool CFileSaver::Commit()
{
    const bool committed = IsOpen() && !m_failed && (m_temporary.empty() ? CommitInPlace() : CommitByRename());
    Discard();
    return committed;
}

bool CFileSaver::CommitByRename()
{
    struct stat existing;
    if (::stat(m_target.c_str(), &existing) == 0) {
        // Owner first: changing it may clear the set-user-ID and set-group-ID bits. Where the owner
        // cannot be given back, the group alone; where neither can, the file is the writer's.
        const bool ownerKept = ::fchown(m_descriptor, existing.st_uid, existing.st_gid) == 0
            || ::fchown(m_descriptor, static_cast<uid_t>(-1), existing.st_gid) == 0;
        static_cast<void>(ownerKept);
        if (::fchmod(m_descriptor, existing.st_mode & 07777) != 0)
            return false;
    }
    if (::fsync(m_descriptor) != 0)
        return false;
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    if (::close(descriptor) != 0 || ::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return false;
    m_temporary.clear();
    return SyncFolder(m_target.parent_path());
}

bool CFileSaver::CommitInPlace()
{
    struct stat staged;
    if (::fstat(m_descriptor, &staged) != 0)
        return false;
    const int target = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC);
    if (target < 0)
        return false;
    // Reserve the room first, so that a full disk leaves the old content whole.
    const int reserved = staged.st_size > 0 ? ::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, staged.st_size) : 0;
    bool written = (reserved == 0 || errno == EOPNOTSUPP) && ::ftruncate(target, 0) == 0
        && CopyAll(m_descriptor, target) && ::fsync(target) == 0;
    written = ::close(target) == 0 && written;
    return written;
}

void CFileSaver::Discard()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool SaveFile(const std::filesystem::path& target, std::string_view bytes)
{
    CFileSaver file(target);
    return file.Write(bytes) && file.Commit();
}

std::optional<std::filesystem::path> SetFileAside(const std::filesystem::path& file)
{
    // A file system without RENAME_NOREPLACE takes a plain rename onto a name found free.
    constexpr int kMostCopies = 10000;
    for (int number = 1; number <= kMostCopies; ++number) {
        std::filesystem::path aside = file;
        aside += number == 1 ? ".damaged" : ".damaged-" + std::to_string(number);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return std::nullopt;
        std::error_code error;
        if (std::filesystem::exists(aside, error))
            continue;
        if (error)
            return std::nullopt;
        std::filesystem::rename(file, aside, error);
        return error ? std::nullopt : std::optional(aside);
    }
    return std::nullopt;
}

} // namespace linlangok
