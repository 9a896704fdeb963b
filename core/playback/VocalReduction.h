#pragma once

#include "core/playback/AudioFileDecoder.h"
#include "core/playback/RealFft.h"

#include <array>
#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

namespace linlangok {

// A stereo song as the four channels of a song with its own backing: the song's pair as decoded,
// then the same pair with what sits in the centre taken out (the lead vocal of most mixes), so
// that a channel pick switches live between 原唱 and 伴唱. Both pairs line up frame for frame with
// the song and are as long as it is.
//
// The centre comes out in the frequency domain: a short-time Fourier transform of kFftSize
// points (Hann, hops of a quarter, weighted overlap-add, which gives the input back where
// nothing is taken out) weighs down each bin between kLowHz and kHighHz whose left and right
// agree in level and phase, by a gain that falls smoothly with their difference, to kCentreGain
// for a bin alike in both. Bass and the highest band pass as they are. The analysis looks
// kFftSize - kHop frames ahead of the frame it puts out, so no pair is delayed.
//
// Used by one thread at a time. Everything is allocated at construction; Read allocates nothing
// and blocks only where the source does. The source's errors pass through.
class CVocalReducedDecoder final : public IAudioFileDecoder {
public:
    static constexpr size_t kFftSize = 4096; // about 93 ms
    static constexpr size_t kHop = kFftSize / 4;
    static constexpr double kLowHz = 120;
    static constexpr double kHighHz = 9000;
    static constexpr float kCentreGain = 0.04f; // -28 dB

    // `source` decodes stereo; raises std::runtime_error otherwise, and what `makeFft` raises.
    CVocalReducedDecoder(std::unique_ptr<IAudioFileDecoder> source, const RealFftFactory& makeFft);

    int Channels() const override { return 4; }
    std::uint64_t LengthMilliseconds() const override { return m_source->LengthMilliseconds(); }
    size_t Read(float* samples, size_t frames) override;

private:
    // Moves the analysis on by a hop and puts the frames it finishes in m_ready; false past the
    // song's end.
    bool Step();
    // Decodes the next hop into the end of m_input, silence past the song's end.
    void DecodeHop();
    // Weighs down the centre of both channels' spectra, bin by bin.
    void TakeOutCentre();

    std::unique_ptr<IAudioFileDecoder> m_source;
    std::unique_ptr<IRealFft> m_fft;
    size_t m_lowBin;
    size_t m_highBin;
    std::vector<float> m_window; // Hann, kFftSize
    std::array<std::vector<float>, 2> m_input; // left, right: kFftSize song frames from m_frameStart
    std::array<std::vector<float>, 2> m_overlap; // the reduced pair's sum from m_frameStart on
    std::array<std::vector<std::complex<float>>, 2> m_bins;
    std::vector<float> m_transformed; // one channel, windowed or transformed back
    std::vector<float> m_hopPower; // per bin: |L|² + |R|² and |L - R|² of this hop,
    std::vector<float> m_hopDifference; // and their averages over neighbouring bins and hops
    std::vector<float> m_power;
    std::vector<float> m_difference;
    std::vector<float> m_decoded; // one hop of the source, interleaved
    std::vector<float> m_ready; // finished frames of the four channels, interleaved
    size_t m_readyFrames = 0;
    size_t m_readyAt = 0;
    std::int64_t m_frameStart; // song frame of the analysis frame's first sample
    std::uint64_t m_sourceFrames = 0;
    bool m_sourceEnded = false;
};

} // namespace linlangok
