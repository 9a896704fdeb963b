#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace linlangok {

inline constexpr int kAudioPitchLimit = 12; // semitones either way
inline constexpr int kTempoMinimumPercent = 50;
inline constexpr int kTempoMaximumPercent = 150;

// The key and tempo an audio accompaniment plays at. Key 0 at tempo 100 % plays the file as it is.
struct StretchSettings {
    int semitones = 0; // -12..12
    int tempoPercent = 100; // 50..150, of the song's own tempo

    // The settings with each value brought into its range.
    StretchSettings Clamped() const;
    bool IsUnchanged() const { return semitones == 0 && tempoPercent == 100; }
    // Frequency out / frequency in.
    double PitchScale() const;
    // Song frames per output frame (0.5..1.5).
    double SongFramesPerFrame() const { return tempoPercent / 100.0; }

    bool operator==(const StretchSettings&) const = default;
};

// A real-time pitch shifter and time stretcher for 44.1 kHz interleaved float frames of the
// channels it was made for (a song's decoded channels, IAudioFileDecoder::Channels). Audio goes
// in with Process and comes out with Retrieve, some frames later. Used by one thread at a time;
// nothing it does blocks or (after the first Restart) allocates.
class IAudioStretcher {
public:
    virtual ~IAudioStretcher() = default;

    // Forgets all audio and starts again at these ratios. `timeRatio` is output duration / input
    // duration.
    virtual void Restart(double pitchScale, double timeRatio) = 0;
    // After Restart: the input frames to give before the first one that counts, and the output
    // frames then to drop, so that the output lines up with the input.
    virtual size_t StartPad() const = 0;
    virtual size_t StartDelay() const = 0;
    // Input frames the next Process needs before more output comes (at most kMaximumProcessFrames).
    virtual size_t FramesRequired() const = 0;
    // Takes up to kMaximumProcessFrames frames; `final` with the last of the input, after which
    // the rest of the output comes out.
    virtual void Process(const float* samples, size_t frames, bool final) = 0;
    // Output frames ready now; Retrieve takes up to `frames` of them and returns how many it took.
    virtual size_t Available() const = 0;
    virtual size_t Retrieve(float* samples, size_t frames) = 0;

    static constexpr size_t kMaximumProcessFrames = 4096;
};

// Makes a stretcher for frames of `channels` channels (2 or 4); may raise std::bad_alloc.
using AudioStretcherFactory = std::function<std::unique_ptr<IAudioStretcher>(int channels)>;

} // namespace linlangok
