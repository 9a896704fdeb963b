#pragma once

#include <filesystem>
#include <memory>

namespace linlangok {

// A lock on a file or folder that every process on the machine sees; released when destroyed.
class IFileLock {
public:
    virtual ~IFileLock() = default;
};

// Exclusive advisory locks between processes, so that two instances on one program folder tell
// each other's files in use from files left by a process that has ended (its locks end with it).
// The platform implements them with flock; core tests, one instance, grant them all. Any thread.
class IFileLocks {
public:
    virtual ~IFileLocks() = default;

    // The lock of an existing regular file or folder, when no one else holds it: null when
    // another holder has it, or the path names nothing lockable (missing, a FIFO, a device).
    virtual std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& path) = 0;
    // The same, waiting while another holder has it; null only when the path names nothing
    // lockable. Holders keep it for moments only.
    virtual std::unique_ptr<IFileLock> Lock(const std::filesystem::path& path) = 0;
};

} // namespace linlangok
