#include "core/performance/VoiceEffectChain.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace linlangok {

void PassVoiceDry(const float* in, int channels, size_t frames, float* stereoOut)
{
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t side = 0; side < 2; ++side) {
            const float sample = in[frame * size_t(channels) + (channels == 2 ? side : 0)];
            stereoOut[frame * 2 + side] = std::isfinite(sample) ? sample : 0.0f;
        }
    }
}

CVoiceEffectChain::CVoiceEffectChain(std::vector<std::unique_ptr<IVoiceEffect>> stages, size_t maximumFrames)
    : m_stages(std::move(stages))
    , m_maximumFrames(maximumFrames)
{
    if (m_stages.empty() || maximumFrames == 0)
        throw std::invalid_argument("a chain of voice effects needs a stage and a block size");
    for (std::vector<float>& buffer : m_between)
        buffer.resize(m_stages.size() > 1 ? maximumFrames * 2 : 0);
}

void CVoiceEffectChain::Process(const float* in, int channels, size_t frames, float* stereoOut)
{
    for (size_t done = 0; done < frames;) {
        const size_t piece = std::min(m_maximumFrames, frames - done);
        const float* source = in + done * size_t(channels);
        int sourceChannels = channels;
        for (size_t stage = 0; stage < m_stages.size(); ++stage) {
            float* target = stage + 1 == m_stages.size() ? stereoOut + done * 2 : m_between[stage % 2].data();
            m_stages[stage]->Process(source, sourceChannels, piece, target);
            source = target;
            sourceChannels = 2;
        }
        done += piece;
    }
}

size_t CVoiceEffectChain::LatencyFrames() const
{
    size_t latency = 0;
    for (const auto& stage : m_stages)
        latency += stage->LatencyFrames();
    return latency;
}

bool CVoiceEffectChain::HasFailed() const
{
    return std::any_of(m_stages.begin(), m_stages.end(), [](const auto& stage) { return stage->HasFailed(); });
}

std::string CVoiceEffectChain::FailureReason() const
{
    for (const auto& stage : m_stages)
        if (stage->HasFailed())
            return stage->FailureReason();
    return {};
}

} // namespace linlangok
