#include "platform/lv2/IsolatedVoiceEffect.h"

#include "common/Translation.h"
#include "core/performance/VoiceEffectChain.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace linlangok {
namespace {

using effecthost::Clock;
using effecthost::Transfer;

// How long a host that was asked to end may take before it is killed.
constexpr std::chrono::milliseconds kEndTimeout {200};

} // namespace

CIsolatedVoiceEffect::CIsolatedVoiceEffect(const std::filesystem::path& host, const VoiceEffectChain& chain)
{
    const std::string request = effecthost::EncodeChain(chain);
    std::string uris;
    for (const VoiceEffectSetting& setting : chain)
        uris += (uris.empty() ? "" : "、") + setting.uri;
    SetNames(uris);
    Spawn(host);
    const Clock::time_point deadline = Clock::now() + kStartTimeout;
    effecthost::AnswerHeader answer {};
    Transfer transfer = effecthost::WriteFully(m_socket, request.data(), request.size(), deadline);
    if (transfer == Transfer::Done)
        transfer = effecthost::ReadFully(m_socket, &answer, sizeof answer, deadline);
    if (transfer == Transfer::Done && answer.textBytes > effecthost::kMaximumTextBytes)
        transfer = Transfer::Closed;
    std::string text(transfer == Transfer::Done ? answer.textBytes : 0, '\0');
    if (transfer == Transfer::Done)
        transfer = effecthost::ReadFully(m_socket, text.data(), text.size(), deadline);
    if (transfer != Transfer::Done || !answer.started) {
        const std::string reason = transfer == Transfer::Done ? text : ReasonFor(transfer);
        Stop(Clock::now());
        throw std::runtime_error(reason);
    }
    SetNames(text);
    m_latencyFrames = answer.latencyFrames;
    m_reason.reserve(effecthost::kMaximumTextBytes + m_crashed.size() + m_hung.size() + m_invalid.size());
    m_request.resize(sizeof(effecthost::BlockHeader) + kPieceFrames * 2 * sizeof(float));
}

CIsolatedVoiceEffect::~CIsolatedVoiceEffect()
{
    Stop(Clock::now() + kEndTimeout);
}

void CIsolatedVoiceEffect::SetNames(const std::string& names)
{
    m_crashed = FormattedUtf8(TrUtf8("CIsolatedVoiceEffect", "效果插件“%1”已崩溃，已关闭。"), {names});
    m_hung = FormattedUtf8(TrUtf8("CIsolatedVoiceEffect", "效果插件“%1”没有响应，已关闭。"), {names});
    m_invalid = FormattedUtf8(TrUtf8("CIsolatedVoiceEffect", "效果插件“%1”输出了无效的声音，已关闭。"), {names});
}

void CIsolatedVoiceEffect::Spawn(const std::filesystem::path& host)
{
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        throw std::runtime_error(
            FormattedUtf8(TrUtf8("CIsolatedVoiceEffect", "无法启动效果程序：%1"), {std::strerror(errno)}));
    // The host's end becomes its standard input and output; nothing else of this process, such as
    // the sound devices' descriptors, goes with it.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // The signals this thread blocks are the program's business; the host starts with none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const std::string path = host.string();
    char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};
    const int error = posix_spawn(&m_host, path.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(sockets[1]);
    if (error != 0) {
        close(sockets[0]);
        m_host = -1;
        throw std::runtime_error(
            FormattedUtf8(TrUtf8("CIsolatedVoiceEffect", "无法启动效果程序“%1”：%2"), {path, std::strerror(error)}));
    }
    m_socket = sockets[0];
}

void CIsolatedVoiceEffect::Process(const float* in, int channels, size_t frames, float* stereoOut)
{
    for (size_t done = 0; done < frames;) {
        const size_t piece = std::min(kPieceFrames, frames - done);
        const float* source = in + done * size_t(channels);
        float* target = stereoOut + done * 2;
        if (!m_failed && !RunPiece(source, channels, piece, target)) {
            m_failed = true;
            Stop(Clock::now());
        }
        if (m_failed)
            PassVoiceDry(source, channels, piece, target);
        done += piece;
    }
}

bool CIsolatedVoiceEffect::RunPiece(const float* in, int channels, size_t frames, float* stereoOut)
{
    const Clock::time_point deadline = Clock::now() + kBlockTimeout;
    const effecthost::BlockHeader header {uint32_t(frames), uint32_t(channels)};
    const size_t samplesBytes = frames * size_t(channels) * sizeof(float);
    std::memcpy(m_request.data(), &header, sizeof header);
    std::memcpy(m_request.data() + sizeof header, in, samplesBytes);
    effecthost::ReplyHeader reply {};
    Transfer transfer = effecthost::WriteFully(m_socket, m_request.data(), sizeof header + samplesBytes, deadline);
    if (transfer == Transfer::Done)
        transfer = effecthost::ReadFully(m_socket, &reply, sizeof reply, deadline);
    if (transfer == Transfer::Done && (reply.frames != frames || reply.reasonBytes > m_reply.size()))
        transfer = Transfer::Closed;
    if (transfer == Transfer::Done)
        transfer = effecthost::ReadFully(m_socket, m_reply.data(), reply.reasonBytes, deadline);
    if (transfer == Transfer::Done)
        transfer = effecthost::ReadFully(m_socket, stereoOut, frames * 2 * sizeof(float), deadline);
    if (transfer != Transfer::Done) {
        m_reason = ReasonFor(transfer);
        return false;
    }
    if (reply.reasonBytes > 0) {
        m_reason.assign(m_reply.data(), reply.reasonBytes);
        return false;
    }
    if (!std::all_of(stereoOut, stereoOut + frames * 2, [](float sample) { return std::isfinite(sample); })) {
        m_reason = m_invalid;
        return false;
    }
    return true;
}

const std::string& CIsolatedVoiceEffect::ReasonFor(Transfer transfer) const
{
    return transfer == Transfer::TimedOut ? m_hung : m_crashed;
}

void CIsolatedVoiceEffect::Stop(Clock::time_point deadline)
{
    if (m_socket >= 0) {
        // The host ends at the end of its input; what it still sends is of no use.
        shutdown(m_socket, SHUT_WR);
        char discard[4096];
        while (effecthost::ReadFully(m_socket, discard, sizeof discard, deadline) == Transfer::Done) { }
        close(m_socket);
        m_socket = -1;
    }
    if (m_host > 0) {
        int status = 0;
        if (waitpid(m_host, &status, WNOHANG) != m_host) {
            kill(m_host, SIGKILL);
            while (waitpid(m_host, &status, 0) < 0 && errno == EINTR) { }
        }
        m_host = -1;
    }
}

} // namespace linlangok
