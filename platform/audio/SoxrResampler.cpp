#include "platform/audio/SoxrResampler.h"

#include <soxr.h>

#include <stdexcept>
#include <string>

namespace linlangok {

CSoxrResampler::CSoxrResampler(int inputRate, int outputRate)
{
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_resampler = soxr_create(inputRate, outputRate, 2, &error, &io, &quality, nullptr);
    if (error)
        throw std::runtime_error(std::string("Can't convert the sample rate: ") + error);
}

CSoxrResampler::~CSoxrResampler()
{
    soxr_delete(static_cast<soxr_t>(m_resampler));
}

size_t CSoxrResampler::Process(
    const float* input, size_t inputFrames, size_t& inputUsed, float* output, size_t outputFrames)
{
    inputUsed = 0;
    size_t written = 0;
    const soxr_error_t error = soxr_process(
        static_cast<soxr_t>(m_resampler), input, input ? inputFrames : 0, &inputUsed, output, outputFrames, &written);
    if (error)
        throw std::runtime_error(std::string("Can't convert the sample rate: ") + error);
    return written;
}

} // namespace linlangok
