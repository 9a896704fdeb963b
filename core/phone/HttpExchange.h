#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One HTTP request and its response as the program's own code sees them, and the server that
// carries them: the core decides, a platform class speaks the protocol.
namespace linlangok {

using HttpFields = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method; // "GET", "POST" …
    std::string path; // percent-decoded, without the query
    HttpFields parameters; // the query's, percent-decoded, in order
    std::string cookies; // the Cookie header's value; empty without one
    std::string host; // the Host header's value; empty without one
    std::string origin; // the Origin header's value; empty without one
    std::string contentType; // the Content-Type header's value; empty without one
    std::string body;
    std::string remoteAddress; // the peer's IP address as text
};

struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::string body;
    HttpFields headers; // besides Content-Type and Content-Length
};

// Called on the server's threads, several at a time.
using HttpHandler = std::function<HttpResponse(const HttpRequest& request)>;

struct HttpServerOptions {
    std::string address = "0.0.0.0"; // the address to listen on; 0.0.0.0 is every IPv4 address
    std::uint16_t port = 0; // 0: any free port
    size_t maximumBodyBytes = 8 * 1024; // a larger body gets 413; a chunked one 411
    // A request must arrive whole within this time of its first byte, and a new connection must
    // begin one within it (else 408 and the connection closes); an idle kept-alive connection
    // closes after idleTimeout.
    std::chrono::milliseconds requestTimeout {5000};
    std::chrono::milliseconds idleTimeout {3000};
    size_t threads = 64;
    size_t connectionsPerAddress = 16; // more at once from one address get 429 and are closed
    // Open connections at most; at the bound a new one closes the one that has waited longest
    // without a whole request.
    size_t connections = 512;
};

class IHttpServer {
public:
    virtual ~IHttpServer() = default;

    // Listens and serves on threads of its own, calling the handler for every request that
    // arrived whole; returns the port it listens on. Raises std::runtime_error with a message for
    // the user when it cannot listen.
    virtual std::uint16_t Start(const HttpServerOptions& options, HttpHandler handler) = 0;
    // Stops listening, closes the connections and joins the threads: no handler call runs after
    // it returns. Does nothing when the server is not running.
    virtual void Stop() = 0;
};

} // namespace linlangok
