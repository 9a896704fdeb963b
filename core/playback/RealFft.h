#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <memory>

namespace linlangok {

// The discrete Fourier transform of Size() real samples, both ways, unnormalised: Inverse of
// Forward gives the samples times Size(). The spectrum is its Size() / 2 + 1 bins from 0 Hz to
// half the sample rate. Used by one thread at a time; after construction nothing it does
// allocates or blocks.
class IRealFft {
public:
    virtual ~IRealFft() = default;

    virtual size_t Size() const = 0;
    // `samples`: Size() floats in; `bins`: Size() / 2 + 1 out.
    virtual void Forward(const float* samples, std::complex<float>* bins) = 0;
    // `bins`: Size() / 2 + 1 in (left as they are); `samples`: Size() floats out.
    virtual void Inverse(const std::complex<float>* bins, float* samples) = 0;
};

// Makes a transform of `size` samples (even); may raise std::bad_alloc. Safe to call from any
// thread.
using RealFftFactory = std::function<std::unique_ptr<IRealFft>(size_t size)>;

} // namespace linlangok
