#include "platform/audio/RubberBandStretcher.h"

#include "core/audio/SampleFormat.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>

namespace linlangok {
namespace {

using RubberBand::RubberBandStretcher;

// The library's messages would go to standard error; it reports nothing the program acts on.
class CSilentLogger final : public RubberBandStretcher::Logger {
public:
    void log(const char*) override { }
    void log(const char*, double) override { }
    void log(const char*, double, double) override { }
};

constexpr RubberBandStretcher::Options kOptions = RubberBandStretcher::OptionProcessRealTime
    | RubberBandStretcher::OptionEngineFiner | RubberBandStretcher::OptionWindowShort
    | RubberBandStretcher::OptionChannelsTogether | RubberBandStretcher::OptionThreadingNever;

} // namespace

CRubberBandStretcher::CRubberBandStretcher()
    : m_stretcher(std::make_unique<RubberBandStretcher>(
        kStreamSampleRate, kStreamChannels, std::make_shared<CSilentLogger>(), kOptions))
    , m_left(kMaximumProcessFrames)
    , m_right(kMaximumProcessFrames)
{
    m_stretcher->setMaxProcessSize(kMaximumProcessFrames);
}

CRubberBandStretcher::~CRubberBandStretcher() = default;

std::unique_ptr<IAudioStretcher> CRubberBandStretcher::Create()
{
    return std::make_unique<CRubberBandStretcher>();
}

void CRubberBandStretcher::Restart(double pitchScale, double timeRatio)
{
    m_stretcher->reset();
    m_stretcher->setPitchScale(pitchScale);
    m_stretcher->setTimeRatio(timeRatio);
}

size_t CRubberBandStretcher::StartPad() const
{
    return m_stretcher->getPreferredStartPad();
}

size_t CRubberBandStretcher::StartDelay() const
{
    return m_stretcher->getStartDelay();
}

size_t CRubberBandStretcher::FramesRequired() const
{
    return std::min(m_stretcher->getSamplesRequired(), kMaximumProcessFrames);
}

void CRubberBandStretcher::Process(const float* samples, size_t frames, bool final)
{
    frames = std::min(frames, kMaximumProcessFrames);
    for (size_t frame = 0; frame < frames; ++frame) {
        m_left[frame] = samples[frame * 2];
        m_right[frame] = samples[frame * 2 + 1];
    }
    const float* const channels[] = {m_left.data(), m_right.data()};
    m_stretcher->process(channels, frames, final);
}

size_t CRubberBandStretcher::Available() const
{
    return static_cast<size_t>(std::max(m_stretcher->available(), 0));
}

size_t CRubberBandStretcher::Retrieve(float* samples, size_t frames)
{
    float* const channels[] = {m_left.data(), m_right.data()};
    const size_t retrieved = m_stretcher->retrieve(channels, std::min(frames, kMaximumProcessFrames));
    for (size_t frame = 0; frame < retrieved; ++frame) {
        samples[frame * 2] = m_left[frame];
        samples[frame * 2 + 1] = m_right[frame];
    }
    return retrieved;
}

} // namespace linlangok
