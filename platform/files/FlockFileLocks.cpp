#include "platform/files/FlockFileLocks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linlangok {
namespace {

class CFlockFileLock final : public IFileLock {
public:
    explicit CFlockFileLock(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    ~CFlockFileLock() override { ::close(m_descriptor); } // closing the description releases the lock

private:
    int m_descriptor;
};

std::unique_ptr<IFileLock> LockFile(const std::filesystem::path& path, int operation)
{
    // Non-blocking, so that a FIFO named like the file cannot hang the open.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status;
    int locked = -1;
    if (::fstat(descriptor, &status) == 0 && (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode))) {
        do
            locked = ::flock(descriptor, operation);
        while (locked != 0 && errno == EINTR);
    }
    if (locked != 0) {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<CFlockFileLock>(descriptor);
}

} // namespace

std::unique_ptr<IFileLock> CFlockFileLocks::TryLock(const std::filesystem::path& path)
{
    return LockFile(path, LOCK_EX | LOCK_NB);
}

std::unique_ptr<IFileLock> CFlockFileLocks::Lock(const std::filesystem::path& path)
{
    return LockFile(path, LOCK_EX);
}

} // namespace linlangok
