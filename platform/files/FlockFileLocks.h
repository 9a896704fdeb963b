#pragma once

#include "common/FileLock.h"

namespace linlangok {

// IFileLocks with flock(2): each lock is an open file description of its own, so two locks on one
// file conflict within a process as they do between processes. Paths are opened without blocking,
// links followed; only regular files and folders are locked.
class CFlockFileLocks final : public IFileLocks {
public:
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& path) override;
    std::unique_ptr<IFileLock> Lock(const std::filesystem::path& path) override;
};

} // namespace linlangok
