#pragma once

#include <string>
#include <sys/resource.h>

namespace linlangok::test {

// While it lives, no file of this process grows beyond `bytes`: a write past that fails as on a
// full disk (EFBIG, with SIGXFSZ ignored).
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes);
    ~CFileSizeLimit();

    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

// While it lives, files are created and checked as an unprivileged user: a root process takes
// the effective user and group nobody (65534) and gives them back on destruction; any other
// process already is unprivileged. Files made meanwhile belong to that user.
class CUnprivilegedScope {
public:
    CUnprivilegedScope();
    ~CUnprivilegedScope();

    CUnprivilegedScope(const CUnprivilegedScope&) = delete;
    CUnprivilegedScope& operator=(const CUnprivilegedScope&) = delete;

    // Empty when access is unprivileged; otherwise why it could not be made so (skip the test).
    const std::string& Failure() const { return m_failure; }

private:
    bool m_dropped = false;
    std::string m_failure;
};

} // namespace linlangok::test
