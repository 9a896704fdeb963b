#pragma once

#include "core/playback/RealFft.h"

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

namespace linlangok {

// Hears acoustic feedback (啸叫) in the singer's monitor: one narrow band, its frequency steady,
// far above every other peak of the spectrum, whose level keeps rising for half a second. A sung
// note has harmonics beside it and moves with its vibrato; speech and noise have no such peak;
// a held tone at a steady level does not rise. The spectrum is taken every 1024 frames (23 ms at
// 44.1 kHz) over the last 2048. Made with its buffers once; Process then only computes, on the
// capture thread.
class CHowlGuard {
public:
    // Raises std::bad_alloc when the transform cannot be made.
    CHowlGuard(const RealFftFactory& fftFactory, int sampleRate);

    // `frames` interleaved stereo frames of what the monitor plays. True from the block in which a
    // howl was heard until Reset.
    bool Process(const float* stereo, size_t frames);
    // Forgets what was heard, for a new stream.
    void Reset();

private:
    // One spectrum's strongest band.
    struct Peak {
        bool narrow = false; // far above every other peak
        double frequency = 0; // Hz, between bins
        double levelDb = 0; // the band's power
    };

    Peak Analyse();
    bool Howls() const;

    std::unique_ptr<IRealFft> m_fft;
    int m_sampleRate;
    std::vector<float> m_window; // Hann
    std::vector<float> m_history; // the last FFT-size mono frames, oldest first
    std::vector<float> m_windowed;
    std::vector<std::complex<float>> m_bins;
    std::vector<float> m_power;
    size_t m_sinceAnalysis = 0; // frames since the last spectrum
    std::vector<Peak> m_peaks; // the last half second of spectra, as a ring
    size_t m_nextPeak = 0;
    size_t m_peakCount = 0;
    bool m_howling = false;
};

} // namespace linlangok
