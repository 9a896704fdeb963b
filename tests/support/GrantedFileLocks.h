#pragma once

#include "common/FileLock.h"

namespace linlangok::test {

// IFileLocks for core tests, which run one instance: every lock is granted. Locks between
// processes are tested with the platform's.
class CGrantedFileLocks final : public IFileLocks {
public:
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path&) override { return std::make_unique<IFileLock>(); }
    std::unique_ptr<IFileLock> Lock(const std::filesystem::path&) override { return std::make_unique<IFileLock>(); }
};

} // namespace linlangok::test
