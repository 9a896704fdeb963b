#include "platform/pitch/AubioPitchTracker.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace linlangok {

CAubioPitchTracker::CAubioPitchTracker(int sampleRate, const std::string& method, float minimumConfidence)
    : m_sampleRate(sampleRate)
    , m_minimumConfidence(minimumConfidence)
{
    if (sampleRate < 8000 || sampleRate > 192000)
        throw std::runtime_error("The pitch tracker takes 8 to 192 kHz.");
    // Powers of two, for the FFT.
    m_windowFrames = std::bit_ceil(static_cast<size_t>(std::lround(kWindowSeconds * sampleRate)));
    m_hopFrames = std::bit_floor(static_cast<size_t>(std::lround(kHopSeconds * sampleRate)));
    m_pitch = new_aubio_pitch(method.c_str(), static_cast<uint_t>(m_windowFrames), static_cast<uint_t>(m_hopFrames),
        static_cast<uint_t>(sampleRate));
    m_hop.resize(m_hopFrames);
    if (!m_pitch)
        throw std::runtime_error("aubio cannot track pitch by \"" + method + "\".");
    aubio_pitch_set_unit(m_pitch, "midi");
    aubio_pitch_set_silence(m_pitch, kSilenceDb);
    aubio_pitch_set_tolerance(m_pitch, kTolerance);
}

CAubioPitchTracker::~CAubioPitchTracker()
{
    del_aubio_pitch(m_pitch);
}

void CAubioPitchTracker::Push(const float* samples, size_t count, std::vector<PitchFrame>& frames)
{
    while (count > 0) {
        const size_t taken = std::min(count, m_hopFrames - m_filled);
        std::copy_n(samples, taken, m_hop.data() + m_filled);
        m_filled += taken;
        samples += taken;
        count -= taken;
        if (m_filled < m_hopFrames)
            break;
        m_filled = 0;
        float pitch = 0;
        const fvec_t input {static_cast<uint_t>(m_hopFrames), m_hop.data()};
        fvec_t output {1, &pitch};
        aubio_pitch_do(m_pitch, &input, &output);
        ++m_hops;
        const bool voiced = pitch > 0 && aubio_pitch_get_confidence(m_pitch) >= m_minimumConfidence;
        // The window ends with this hop.
        const double middle = double(m_hops * m_hopFrames) - double(m_windowFrames) / 2;
        frames.push_back({middle / m_sampleRate, voiced ? pitch : NAN});
    }
}

std::unique_ptr<IPitchTracker> MakeAubioPitchTracker(int sampleRate)
{
    return std::make_unique<CAubioPitchTracker>(sampleRate);
}

} // namespace linlangok
