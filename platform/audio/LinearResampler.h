#pragma once

#include <cstddef>
#include <vector>

namespace linlangok {

// Converts interleaved stereo float audio from one sample rate to another by linear
// interpolation, as it streams through: Push input, Pull output.
class CLinearResampler {
public:
    CLinearResampler(int inputRate, int outputRate);

    // Appends input frames.
    void Push(const float* samples, size_t frames);
    // After the last Push: the remaining output may use the last input frame alone.
    void Finish() { m_finished = true; }
    // Writes up to `frames` output frames that the input received so far determines; returns them.
    size_t Pull(float* samples, size_t frames);

private:
    double m_step; // input frames per output frame
    double m_position = 0.0; // of the next output frame, in input frames from m_pending[0]
    std::vector<float> m_pending; // input frames not yet passed
    bool m_finished = false;
};

} // namespace linlangok
