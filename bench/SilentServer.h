#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace linlangok::bench {

// A TCP server on a free port of 127.0.0.1 that takes connections (the kernel completes them) and
// never answers: a server that hangs.
class CSilentServer {
public:
    CSilentServer()
        : m_socket(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(m_socket, 8) == 0
            && getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~CSilentServer() { close(m_socket); }

    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;

    // 0 when no port could be had.
    int Port() const { return m_port; }

private:
    int m_socket;
    int m_port = 0;
};

} // namespace linlangok::bench
