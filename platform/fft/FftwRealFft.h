#pragma once

#include "core/playback/RealFft.h"

#include <complex>
#include <memory>

namespace linlangok {

// IRealFft over FFTW's single-precision real transforms. Both plans are made once, here, with
// FFTW_ESTIMATE, under a lock shared by every instance since FFTW's planner is not thread-safe;
// running them afterwards is. The transforms work on buffers of their own, aligned as FFTW
// wants, so callers' arrays need no alignment and the spectrum given to Inverse is kept.
class CFftwRealFft final : public IRealFft {
public:
    explicit CFftwRealFft(size_t size);
    ~CFftwRealFft() override;

    CFftwRealFft(const CFftwRealFft&) = delete;
    CFftwRealFft& operator=(const CFftwRealFft&) = delete;

    size_t Size() const override { return m_size; }
    void Forward(const float* samples, std::complex<float>* bins) override;
    void Inverse(const std::complex<float>* bins, float* samples) override;

    // The factory for the vocal reduction.
    static std::unique_ptr<IRealFft> Create(size_t size);

private:
    struct Plans;

    size_t m_size;
    std::unique_ptr<Plans> m_plans;
};

} // namespace linlangok
