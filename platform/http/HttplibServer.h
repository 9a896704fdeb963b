#pragma once

#include "core/phone/HttpExchange.h"

#include <memory>
#include <string>
#include <vector>

namespace linlangok {

class CGuardedHttplibServer;

// The HTTP server of cpp-httplib behind IHttpServer: one thread of its own watches every
// connection and gathers each request; a pool of threads answers the whole ones. Beyond the library
// it bounds each request's time as a whole (a client trickling bytes is cut off with 408), the bytes
// a request may send, the connections one address holds at once and the connections in all, so
// that slow or silent clients cannot keep the phones from being answered.
class CHttplibServer final : public IHttpServer {
public:
    CHttplibServer();
    ~CHttplibServer() override;

    std::uint16_t Start(const HttpServerOptions& options, HttpHandler handler) override;
    void Stop() override;

private:
    std::unique_ptr<CGuardedHttplibServer> m_server;
};

// The machine's IPv4 addresses on its networks (up, not loopback), private ranges first, as
// text; empty when there is none.
std::vector<std::string> LanAddresses();

} // namespace linlangok
