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

CRubberBandStretcher::CRubberBandStretcher(int channels)
    : m_stretcher(std::make_unique<RubberBandStretcher>(
        kStreamSampleRate, static_cast<size_t>(channels), std::make_shared<CSilentLogger>(), kOptions))
    , m_channels(static_cast<size_t>(channels), std::vector<float>(kMaximumProcessFrames))
{
    for (std::vector<float>& channel : m_channels)
        m_pointers.push_back(channel.data());
    m_stretcher->setMaxProcessSize(kMaximumProcessFrames);
}

CRubberBandStretcher::~CRubberBandStretcher() = default;

std::unique_ptr<IAudioStretcher> CRubberBandStretcher::Create(int channels)
{
    return std::make_unique<CRubberBandStretcher>(channels);
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
    const size_t count = m_channels.size();
    for (size_t frame = 0; frame < frames; ++frame)
        for (size_t channel = 0; channel < count; ++channel)
            m_channels[channel][frame] = samples[frame * count + channel];
    m_stretcher->process(m_pointers.data(), frames, final);
}

size_t CRubberBandStretcher::Available() const
{
    return static_cast<size_t>(std::max(m_stretcher->available(), 0));
}

size_t CRubberBandStretcher::Retrieve(float* samples, size_t frames)
{
    const size_t retrieved = m_stretcher->retrieve(m_pointers.data(), std::min(frames, kMaximumProcessFrames));
    const size_t count = m_channels.size();
    for (size_t frame = 0; frame < retrieved; ++frame)
        for (size_t channel = 0; channel < count; ++channel)
            samples[frame * count + channel] = m_channels[channel][frame];
    return retrieved;
}

} // namespace linlangok
