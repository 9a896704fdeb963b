#include "ui/desktop/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace linlangok {
namespace {

int g_signalSockets[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    // Nothing else is async-signal-safe here; a full socket means a wake-up is already pending.
    [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
}

} // namespace

CTerminationSignalWatcher::CTerminationSignalWatcher(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_signalSockets) != 0)
        throw std::runtime_error("socketpair failed");
    m_notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignalWatcher::OnSignalByte);
    struct sigaction action { };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

CTerminationSignalWatcher::~CTerminationSignalWatcher()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete m_notifier;
    ::close(g_signalSockets[0]);
    ::close(g_signalSockets[1]);
    g_signalSockets[0] = g_signalSockets[1] = -1;
}

void CTerminationSignalWatcher::OnSignalByte()
{
    char bytes[16];
    while (::read(g_signalSockets[1], bytes, sizeof bytes) > 0) { }
    emit terminationRequested();
}

} // namespace linlangok
