#include "platform/fft/FftwRealFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace linlangok {
namespace {

// FFTW's planner and plan destruction touch global state.
std::mutex& PlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

struct CFftwRealFft::Plans {
    float* samples = nullptr;
    fftwf_complex* bins = nullptr;
    fftwf_plan forward = nullptr;
    fftwf_plan inverse = nullptr;

    ~Plans()
    {
        const std::lock_guard lock(PlannerMutex());
        if (forward)
            fftwf_destroy_plan(forward);
        if (inverse)
            fftwf_destroy_plan(inverse);
        fftwf_free(bins);
        fftwf_free(samples);
    }
};

CFftwRealFft::CFftwRealFft(size_t size)
    : m_size(size)
    , m_plans(std::make_unique<Plans>())
{
    const int points = static_cast<int>(size);
    const std::lock_guard lock(PlannerMutex());
    m_plans->samples = fftwf_alloc_real(size);
    m_plans->bins = fftwf_alloc_complex(size / 2 + 1);
    if (m_plans->samples)
        m_plans->forward = fftwf_plan_dft_r2c_1d(points, m_plans->samples, m_plans->bins, FFTW_ESTIMATE);
    if (m_plans->bins)
        m_plans->inverse = fftwf_plan_dft_c2r_1d(points, m_plans->bins, m_plans->samples, FFTW_ESTIMATE);
    if (!m_plans->forward || !m_plans->inverse)
        throw std::bad_alloc();
}

CFftwRealFft::~CFftwRealFft() = default;

void CFftwRealFft::Forward(const float* samples, std::complex<float>* bins)
{
    std::copy_n(samples, m_size, m_plans->samples);
    fftwf_execute(m_plans->forward);
    std::copy_n(reinterpret_cast<const std::complex<float>*>(m_plans->bins), m_size / 2 + 1, bins);
}

void CFftwRealFft::Inverse(const std::complex<float>* bins, float* samples)
{
    // The complex-to-real transform overwrites its input, here FFTW's own buffer.
    std::copy_n(bins, m_size / 2 + 1, reinterpret_cast<std::complex<float>*>(m_plans->bins));
    fftwf_execute(m_plans->inverse);
    std::copy_n(m_plans->samples, m_size, samples);
}

std::unique_ptr<IRealFft> CFftwRealFft::Create(size_t size)
{
    return std::make_unique<CFftwRealFft>(size);
}

} // namespace linlangok
