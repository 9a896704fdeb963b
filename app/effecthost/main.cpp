// linlangok-effect-host: runs a chain of voice effects for the program in a process of its own, so
// that a plugin that crashes or hangs does not take the program with it. It speaks the protocol of
// platform/lv2/EffectHostProtocol.h on its standard input and output and ends at the end of its
// input: 0 then, 1 when the chain could not start, 2 when the input is not the protocol.
#include "core/performance/VoiceEffectChain.h"
#include "platform/lv2/EffectHostProtocol.h"
#include "platform/lv2/Lv2Plugins.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace linlangok {
namespace {

using effecthost::Clock;
using effecthost::Transfer;
constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

bool Send(int descriptor, const void* data, size_t bytes)
{
    return effecthost::WriteFully(descriptor, data, bytes, kNoDeadline) == Transfer::Done;
}

void Answer(int descriptor, bool started, size_t latencyFrames, std::string text)
{
    text.resize(std::min<size_t>(text.size(), effecthost::kMaximumTextBytes));
    const effecthost::AnswerHeader header {started, uint32_t(latencyFrames), uint32_t(text.size())};
    if (Send(descriptor, &header, sizeof header))
        Send(descriptor, text.data(), text.size());
}

int Run(int in, int out)
{
    const auto read = [in](void* data, size_t bytes) {
        return effecthost::ReadFully(in, data, bytes, kNoDeadline) == Transfer::Done;
    };
    VoiceEffectChain chain;
    try {
        chain = effecthost::DecodeChain(read);
    } catch (const std::runtime_error& error) {
        Answer(out, false, 0, error.what());
        return 2;
    }
    std::unique_ptr<CVoiceEffectChain> effect;
    std::string names;
    try {
        const CLv2Plugins plugins;
        effect = plugins.StartChain(chain);
        for (const VoiceEffectSetting& setting : chain)
            names += (names.empty() ? "" : "、") + plugins.Name(setting.uri);
    } catch (const std::exception& error) {
        Answer(out, false, 0, error.what());
        return 1;
    }
    Answer(out, true, effect->LatencyFrames(), names);
    std::vector<float> voice(effecthost::kMaximumBlockFrames * 2), stereo(voice.size());
    bool told = false;
    for (;;) {
        effecthost::BlockHeader block {};
        if (!read(&block, sizeof block))
            return 0;
        if (block.frames == 0 || block.frames > effecthost::kMaximumBlockFrames
            || (block.channels != 1 && block.channels != 2))
            return 2;
        if (!read(voice.data(), block.frames * block.channels * sizeof(float)))
            return 2;
        effect->Process(voice.data(), int(block.channels), block.frames, stereo.data());
        std::string reason;
        if (!told && effect->HasFailed()) {
            reason = effect->FailureReason().substr(0, effecthost::kMaximumTextBytes);
            told = true;
        }
        const effecthost::ReplyHeader reply {block.frames, uint32_t(reason.size())};
        if (!Send(out, &reply, sizeof reply) || !Send(out, reason.data(), reason.size())
            || !Send(out, stereo.data(), block.frames * 2 * sizeof(float)))
            return 0;
    }
}

} // namespace
} // namespace linlangok

int main()
{
    // A program that has gone is seen as a failed write, not a signal.
    signal(SIGPIPE, SIG_IGN);
    // The protocol moves to descriptors of its own, so that a plugin that prints to standard
    // output writes to standard error instead of into the blocks, and one that reads reads nothing.
    const int in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    const int out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0 || out < 0 || nothing < 0 || dup2(nothing, STDIN_FILENO) < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 2;
    close(nothing);
    return linlangok::Run(in, out);
}
