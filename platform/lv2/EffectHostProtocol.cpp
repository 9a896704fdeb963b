#include "platform/lv2/EffectHostProtocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace linlangok::effecthost {
namespace {

void AppendBytes(std::string& out, const void* data, size_t bytes)
{
    out.append(static_cast<const char*>(data), bytes);
}

void AppendCount(std::string& out, uint32_t count)
{
    AppendBytes(out, &count, sizeof count);
}

void AppendText(std::string& out, const std::string& text, uint32_t maximum)
{
    if (text.empty() || text.size() > maximum)
        throw std::invalid_argument("an effect's URI or control symbol of " + std::to_string(text.size())
            + " bytes; the effect host takes 1 to " + std::to_string(maximum));
    AppendCount(out, uint32_t(text.size()));
    out += text;
}

uint32_t ReadCount(const ReadExactly& read, uint32_t minimum, uint32_t maximum, const char* what)
{
    uint32_t count = 0;
    if (!read(&count, sizeof count))
        throw std::runtime_error(std::string("the chain ends before its ") + what);
    if (count < minimum || count > maximum)
        throw std::runtime_error(std::string("the chain's ") + what + " is " + std::to_string(count) + "; "
            + std::to_string(minimum) + " to " + std::to_string(maximum) + " are taken");
    return count;
}

std::string ReadText(const ReadExactly& read, const char* what)
{
    std::string text(ReadCount(read, 1, kMaximumTextBytes, what), '\0');
    if (!read(text.data(), text.size()))
        throw std::runtime_error(std::string("the chain ends inside a ") + what);
    return text;
}

// Waits for the descriptor to be ready by the deadline; false when it is not.
bool Await(int descriptor, short events, Clock::time_point deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 1 << 30));
        }
        pollfd entry {descriptor, events, 0};
        const int ready = poll(&entry, 1, timeout);
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return true; // the read or write that follows reports the error
    }
}

} // namespace

std::string EncodeChain(const VoiceEffectChain& chain)
{
    if (chain.empty() || chain.size() > kMaximumPlugins)
        throw std::invalid_argument("a chain of " + std::to_string(chain.size())
            + " effects; the effect host takes 1 to " + std::to_string(kMaximumPlugins));
    std::string out;
    AppendBytes(out, kTag, sizeof kTag);
    AppendCount(out, kVersion);
    AppendCount(out, uint32_t(chain.size()));
    for (const VoiceEffectSetting& setting : chain) {
        AppendText(out, setting.uri, kMaximumTextBytes);
        if (setting.controls.size() > kMaximumControls)
            throw std::invalid_argument(setting.uri + " is given " + std::to_string(setting.controls.size())
                + " controls; the effect host takes up to " + std::to_string(kMaximumControls));
        AppendCount(out, uint32_t(setting.controls.size()));
        for (const auto& [symbol, value] : setting.controls) {
            AppendText(out, symbol, kMaximumTextBytes);
            AppendBytes(out, &value, sizeof value);
        }
    }
    return out;
}

VoiceEffectChain DecodeChain(const ReadExactly& read)
{
    char tag[sizeof kTag] = {};
    if (!read(tag, sizeof tag) || std::memcmp(tag, kTag, sizeof tag) != 0)
        throw std::runtime_error("the input is not an effect chain");
    ReadCount(read, kVersion, kVersion, "version");
    VoiceEffectChain chain(ReadCount(read, 1, kMaximumPlugins, "number of plugins"));
    for (VoiceEffectSetting& setting : chain) {
        setting.uri = ReadText(read, "plugin URI");
        setting.controls.resize(ReadCount(read, 0, kMaximumControls, "number of controls"));
        for (auto& [symbol, value] : setting.controls) {
            symbol = ReadText(read, "control symbol");
            if (!read(&value, sizeof value))
                throw std::runtime_error("the chain ends before the value of " + symbol);
        }
    }
    return chain;
}

Transfer ReadFully(int descriptor, void* data, size_t bytes, Clock::time_point deadline)
{
    auto* at = static_cast<char*>(data);
    while (bytes > 0) {
        if (!Await(descriptor, POLLIN, deadline))
            return Transfer::TimedOut;
        const ssize_t done = read(descriptor, at, bytes);
        if (done < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (done <= 0)
            return Transfer::Closed;
        at += done;
        bytes -= size_t(done);
    }
    return Transfer::Done;
}

Transfer WriteFully(int descriptor, const void* data, size_t bytes, Clock::time_point deadline)
{
    const auto* at = static_cast<const char*>(data);
    while (bytes > 0) {
        if (!Await(descriptor, POLLOUT, deadline))
            return Transfer::TimedOut;
        ssize_t done = send(descriptor, at, bytes, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done < 0 && errno == ENOTSOCK)
            done = write(descriptor, at, bytes);
        if (done < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (done <= 0)
            return Transfer::Closed;
        at += done;
        bytes -= size_t(done);
    }
    return Transfer::Done;
}

} // namespace linlangok::effecthost
