#pragma once

#include "core/performance/VoiceEffect.h"
#include "platform/lv2/EffectHostProtocol.h"

#include <sys/types.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace linlangok {

// IVoiceEffect over a chain running in a linlangok-effect-host process of its own, so that a
// plugin that crashes or hangs takes only that process down. Each block goes to the host and
// comes back within kBlockTimeout; when the host dies, does not answer in time, says the chain
// failed (a plugin's output was not finite), returns samples that are not finite or breaks the
// protocol, the host is killed and reaped, the effect has failed and its input passes dry from
// then on. The messages name the chain's plugins ("A、B" for two): which one of them crashed or
// hung the host cannot tell.
class CIsolatedVoiceEffect final : public IVoiceEffect {
public:
    static constexpr std::chrono::milliseconds kStartTimeout {10000};
    static constexpr std::chrono::milliseconds kBlockTimeout {500};
    // The longest block sent to the host at once; longer ones go in pieces.
    static constexpr size_t kPieceFrames = 2048;

    // Starts the host at that path and the chain in it, waiting up to kStartTimeout for it to
    // answer. Raises std::invalid_argument when the chain is empty or beyond what the host takes,
    // and std::runtime_error with the user's message when the host cannot be started, crashes or
    // does not answer, or cannot start the chain (the host's reason: a plugin that is not
    // installed, naming its package).
    CIsolatedVoiceEffect(const std::filesystem::path& host, const VoiceEffectChain& chain);
    // Closes the connection; the host ends, or is killed when it has not within a moment, and is
    // reaped.
    ~CIsolatedVoiceEffect() override;

    CIsolatedVoiceEffect(const CIsolatedVoiceEffect&) = delete;
    CIsolatedVoiceEffect& operator=(const CIsolatedVoiceEffect&) = delete;

    void Process(const float* in, int channels, size_t frames, float* stereoOut) override;
    size_t LatencyFrames() const override { return m_latencyFrames; }
    bool HasFailed() const override { return m_failed; }
    std::string FailureReason() const override { return m_failed ? m_reason : std::string(); }

private:
    void Spawn(const std::filesystem::path& host);
    // One piece through the host into stereoOut; false, with the reason set, when it failed.
    bool RunPiece(const float* in, int channels, size_t frames, float* stereoOut);
    // The reason for a transfer that did not finish.
    const std::string& ReasonFor(effecthost::Transfer transfer) const;
    void SetNames(const std::string& names);
    // Closes the connection and reaps the host, killing it unless it ends by the deadline.
    void Stop(effecthost::Clock::time_point deadline);

    int m_socket = -1;
    pid_t m_host = -1;
    size_t m_latencyFrames = 0;
    bool m_failed = false;
    std::string m_reason; // reserved up front: set in Process without allocating
    std::string m_crashed;
    std::string m_hung;
    std::string m_invalid;
    std::vector<char> m_request; // a BlockHeader and up to kPieceFrames stereo frames
    std::array<char, effecthost::kMaximumTextBytes> m_reply {};
};

} // namespace linlangok
