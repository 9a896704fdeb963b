#include "tests/support/FileAccess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace linlangok::test {

constexpr uid_t kNobody = 65534;

CFileSizeLimit::CFileSizeLimit(rlim_t bytes)
{
    ::getrlimit(RLIMIT_FSIZE, &m_previous);
    const rlimit limit {bytes, m_previous.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
}

CFileSizeLimit::~CFileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

CUnprivilegedScope::CUnprivilegedScope()
{
    if (::geteuid() != 0)
        return;
    // The group first: without root, the user could no longer change it.
    if (::setegid(kNobody) != 0 || ::seteuid(kNobody) != 0) {
        m_failure = std::string("root cannot take the user nobody: ") + std::strerror(errno);
        (void)::setegid(0);
        return;
    }
    m_dropped = true;
}

CUnprivilegedScope::~CUnprivilegedScope()
{
    if (m_dropped && (::seteuid(0) != 0 || ::setegid(0) != 0))
        std::abort(); // the following tests would run with the wrong rights
}

} // namespace linlangok::test
