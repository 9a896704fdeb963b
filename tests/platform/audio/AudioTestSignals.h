#pragma once

#include "core/playback/AudioFileDecoder.h"
#include "core/playback/AudioOutput.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Known signals and audio files for the audio tests.
namespace linlangok::test {

// Interleaved 16-bit frames: `channels` channels at `rate`, channel c a sine of
// frequency × (c + 1) Hz at the given amplitude (0..1), so swapped channels show.
std::vector<std::int16_t> SineFrames(
    size_t frames, double frequency, double amplitude, int rate = 44100, int channels = 2);

// A stereo chirp sweeping from `from` to `to` Hz on the left and the reverse on the right: every
// part of it differs from every other, so a shifted or repeated block shows.
std::vector<std::int16_t> ChirpFrames(size_t frames, double from, double to, double amplitude);

// A steady tone at these amplitudes (0..1) on the left and the right.
struct PannedTone {
    double hertz;
    double left;
    double right;
};
// Stereo frames of a sung `voiceHertz` (vibrato ±2 % at 5.5 Hz, harmonics up to 3 kHz at 1/n of
// the amplitudes given) and steady tones beside it.
std::vector<std::int16_t> VoiceFrames(
    size_t frames, double voiceHertz, double voiceLeft, double voiceRight, const std::vector<PannedTone>& tones = {});

void WriteWavFile(
    const std::filesystem::path& path, const std::vector<std::int16_t>& samples, int rate = 44100, int channels = 2);
void WriteMp3File(const std::filesystem::path& path, const std::vector<std::int16_t>& samples);

struct DecodedAudio {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
};

// Every frame of an audio file as libsndfile decodes it, converted to 16 bits as the streams do.
DecodedAudio ReadAudioFile(const std::filesystem::path& path);

// Index of the first frame with a nonzero sample (frame count when all are zero).
size_t FirstSoundingFrame(const std::vector<std::int16_t>& samples, int channels = 2);

// The sound in a recording: its first frame and length, from the first to the last sample of at
// least a quarter of the peak, and its first channel's level (RMS in dBFS: -9.03 for a sine at
// half scale) without its first and last tenth of a second.
struct Sound {
    size_t first = 0;
    size_t frames = 0;
    double level = 0;
};
Sound MeasureSound(const std::vector<std::int16_t>& samples, int channels = 2);

// The frequency (Hz) at which one channel's energy peaks, searched in 1 Hz steps between `low`
// and `high` (Goertzel).
double PeakFrequency(
    const std::int16_t* samples, size_t frames, int channels, int channel, int rate, double low, double high);

// The frequency (Hz) of a steady tone on one channel, from its upward zero crossings placed
// between samples by linear interpolation: whole periods between the first and the last crossing
// over the time between them. 0 without two crossings.
double ToneFrequency(const std::int16_t* samples, size_t frames, int channels, int channel, int rate = 44100);
// How far `frequency` lies from `reference`, in cents (hundredths of a semitone).
double Cents(double frequency, double reference);

// One channel's level (dB against full scale) over interleaved float frames at 44.1 kHz,
// Hann-weighted: of a tone of `hertz` (its amplitude), or with 0 Hz of everything (RMS).
double Level(const float* samples, size_t frames, int channels, int channel, double hertz = 0);

// A decoder over 16-bit stereo frames in memory, whose header claims `headerMilliseconds`. After
// the frames it ends or, with `failAtEnd`, raises as undecodable data does.
class CMemoryDecoder final : public IAudioFileDecoder {
public:
    CMemoryDecoder(std::vector<std::int16_t> samples, std::uint64_t headerMilliseconds, bool failAtEnd = false);
    std::uint64_t LengthMilliseconds() const override { return m_headerMilliseconds; }
    size_t Read(float* samples, size_t frames) override;

private:
    std::vector<std::int16_t> m_samples;
    std::uint64_t m_headerMilliseconds;
    bool m_failAtEnd;
    size_t m_next = 0; // sample index
};

// Counts the frames a decoder has produced, and jumps far ahead at its end, so that virtual time
// never outruns the decode thread.
struct CCountingDecoder final : IAudioFileDecoder {
    CCountingDecoder(std::unique_ptr<IAudioFileDecoder> inner, std::atomic<std::uint64_t>& frames)
        : inner(std::move(inner))
        , frames(frames)
    {
    }
    int Channels() const override { return inner->Channels(); }
    std::uint64_t LengthMilliseconds() const override { return inner->LengthMilliseconds(); }
    size_t Read(float* samples, size_t count) override
    {
        const size_t read = inner->Read(samples, count);
        frames += read == 0 ? std::uint64_t {1} << 40 : read;
        return read;
    }
    std::unique_ptr<IAudioFileDecoder> inner;
    std::atomic<std::uint64_t>& frames;
};

// A source whose samples tell the stream frame they were mixed for: Value(frame) on the left, its
// negative on the right (so swapped channels show). Notes every buffer it was asked for.
struct CPositionSource final : IAudioSource {
    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;
    static std::int16_t Value(std::uint64_t frame) { return static_cast<std::int16_t>(1 + frame % 2000); }

    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, size_t>> buffers; // first frame, frames
};

// The frame headers of a raw MPEG-1 or MPEG-2 layer III stream, walked from its first byte; when
// bytes that are no frame follow, a last entry with header 0 gives their offset.
struct Mp3Frame {
    std::uint32_t header;
    size_t offset;
};
std::vector<Mp3Frame> Mp3Frames(const std::string& bytes);

} // namespace linlangok::test
