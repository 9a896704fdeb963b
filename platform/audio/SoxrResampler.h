#pragma once

#include <cstddef>

namespace linlangok {

// Converts interleaved stereo float audio from one sample rate to another as it streams through,
// with libsoxr at its high quality: what lies above the lower rate's range is filtered out, not
// folded back into it. The output keeps the input's timing (no leading delay), and the whole
// output runs to input frames × output rate / input rate. Used by one thread at a time.
class CSoxrResampler {
public:
    // Raises std::runtime_error when the library refuses the rates.
    CSoxrResampler(int inputRate, int outputRate);
    ~CSoxrResampler();

    CSoxrResampler(const CSoxrResampler&) = delete;
    CSoxrResampler& operator=(const CSoxrResampler&) = delete;

    // Takes input frames (up to inputFrames; inputUsed tells how many) and writes up to
    // outputFrames output frames, returning their number. Null input means the input has ended:
    // then the frames the filter still holds come out, and 0 once they all have.
    size_t Process(const float* input, size_t inputFrames, size_t& inputUsed, float* output, size_t outputFrames);

private:
    void* m_resampler; // soxr_t
};

} // namespace linlangok
