#pragma once

#include "core/controller/PerformanceController.h"
#include "core/playback/AudioPlayer.h"
#include "tests/core/session/SessionRig.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <stdexcept>
#include <string>
#include <optional>
#include <vector>

namespace linlangok::test {

// A performance that writes a fifth of a second of sine as WAV wherever it is asked to, and
// remembers each write; with `failure` set it raises that instead.
struct CFakePerformance final : IPerformance {
    struct Written {
        std::filesystem::path path;
        int voicePercent;
        bool operator==(const Written&) const = default;
    };

    double AlignmentMs() const override { return alignmentMs; }
    std::optional<int> Score() const override { return score; }
    std::string Write(const std::filesystem::path& path, int voicePercent) const override
    {
        if (!failure.empty())
            throw std::runtime_error(failure);
        WriteWavFile(path, SineFrames(8820, 440.0, 0.5));
        writes.push_back({path, voicePercent});
        return notice;
    }

    double alignmentMs = 120.0;
    std::optional<int> score;
    std::string failure;
    std::string notice;
    mutable std::vector<Written> writes;
};

// That performance's controller, auditioning through a player on the session's virtual devices.
struct CPerformanceRig {
    CSessionDevices devices;
    CFakePerformance performance;
    CAudioPlayer player {*devices.audioOutput, devices.prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create};
    CPerformanceController controller {
        performance, devices.prompts, player, devices.home.Path() / ".$$performance1.wav"};
};

} // namespace linlangok::test
