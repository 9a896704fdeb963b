#include "tests/platform/audio/AudioTestSignals.h"

#include "core/audio/SampleFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <iterator>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace linlangok::test {
namespace {

void WriteFile(
    const std::filesystem::path& path, const std::vector<std::int16_t>& samples, int rate, int channels, int format)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot create " + path.string());
    const auto frames = static_cast<sf_count_t>(samples.size() / static_cast<size_t>(channels));
    const sf_count_t written = sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    if (written != frames)
        throw std::runtime_error("cannot write " + path.string());
}

std::int16_t Sample(double value)
{
    return static_cast<std::int16_t>(std::lrint(value * 32767.0));
}

} // namespace

std::vector<std::int16_t> SineFrames(size_t frames, double frequency, double amplitude, int rate, int channels)
{
    std::vector<std::int16_t> samples(frames * static_cast<size_t>(channels));
    for (size_t frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            const double phase = 2 * std::numbers::pi * frequency * (channel + 1) * static_cast<double>(frame) / rate;
            samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)]
                = Sample(amplitude * std::sin(phase));
        }
    }
    return samples;
}

std::vector<std::int16_t> ChirpFrames(size_t frames, double from, double to, double amplitude)
{
    std::vector<std::int16_t> samples(frames * 2);
    const double duration = static_cast<double>(frames) / 44100;
    for (size_t frame = 0; frame < frames; ++frame) {
        const double t = static_cast<double>(frame) / 44100;
        const double up = 2 * std::numbers::pi * (from * t + (to - from) * t * t / (2 * duration));
        const double down = 2 * std::numbers::pi * (to * t + (from - to) * t * t / (2 * duration));
        samples[frame * 2] = Sample(amplitude * std::sin(up));
        samples[frame * 2 + 1] = Sample(amplitude * std::sin(down));
    }
    return samples;
}

std::vector<std::int16_t> VoiceFrames(
    size_t frames, double voiceHertz, double voiceLeft, double voiceRight, const std::vector<PannedTone>& tones)
{
    constexpr double kPi = std::numbers::pi;
    std::vector<std::int16_t> samples(frames * 2);
    double phase = 0;
    for (size_t frame = 0; frame < frames; ++frame) {
        phase += 2 * kPi * voiceHertz * (1 + 0.02 * std::sin(2 * kPi * 5.5 * frame / 44100)) / 44100;
        double voice = 0;
        for (int harmonic = 1; harmonic * voiceHertz * 1.02 <= 3000; ++harmonic)
            voice += std::sin(harmonic * phase) / harmonic;
        double sides[2] = {voiceLeft * voice, voiceRight * voice};
        for (const PannedTone& tone : tones) {
            sides[0] += tone.left * std::sin(2 * kPi * tone.hertz * frame / 44100);
            sides[1] += tone.right * std::sin(2 * kPi * tone.hertz * frame / 44100);
        }
        samples[frame * 2] = Sample(sides[0]);
        samples[frame * 2 + 1] = Sample(sides[1]);
    }
    return samples;
}

void WriteWavFile(const std::filesystem::path& path, const std::vector<std::int16_t>& samples, int rate, int channels)
{
    WriteFile(path, samples, rate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

void WriteMp3File(const std::filesystem::path& path, const std::vector<std::int16_t>& samples)
{
    WriteFile(path, samples, 44100, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
}

DecodedAudio ReadAudioFile(const std::filesystem::path& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw std::runtime_error("cannot open " + path.string());
    DecodedAudio audio {info.samplerate, info.channels, {}};
    std::vector<float> chunk(4096 * static_cast<size_t>(info.channels));
    for (;;) {
        const sf_count_t read = sf_readf_float(file, chunk.data(), 4096);
        if (read <= 0)
            break;
        std::transform(
            chunk.begin(), chunk.begin() + read * info.channels, std::back_inserter(audio.samples), FloatToInt16);
    }
    sf_close(file);
    return audio;
}

size_t FirstSoundingFrame(const std::vector<std::int16_t>& samples, int channels)
{
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] != 0)
            return i / static_cast<size_t>(channels);
    }
    return samples.size() / static_cast<size_t>(channels);
}

Sound MeasureSound(const std::vector<std::int16_t>& samples, int channels)
{
    // Sound is what comes within 12 dB of the peak; a peak below -54 dBFS is silence.
    const int peak = std::accumulate(samples.begin(), samples.end(), 0,
        [](int highest, std::int16_t sample) { return std::max(highest, std::abs(static_cast<int>(sample))); });
    const auto loud = [peak](std::int16_t sample) { return peak >= 64 && std::abs(sample) >= peak / 4; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return {};
    const size_t step = static_cast<size_t>(channels);
    Sound sound {static_cast<size_t>(first - samples.begin()) / step};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base() - 1;
    sound.frames = static_cast<size_t>(last - samples.begin()) / step - sound.first + 1;
    double sum = 0;
    const size_t margin = 4410, inner = sound.frames > 3 * margin ? sound.frames - 2 * margin : 0;
    for (size_t frame = sound.first + margin; frame < sound.first + margin + inner; ++frame)
        sum += std::pow(samples[frame * step] / 32768.0, 2);
    sound.level = 10 * std::log10(sum / static_cast<double>(inner));
    return sound;
}

double PeakFrequency(
    const std::int16_t* samples, size_t frames, int channels, int channel, int rate, double low, double high)
{
    double best = low;
    double bestPower = -1;
    for (double frequency = low; frequency <= high; frequency += 1.0) {
        const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
        double previous = 0;
        double beforePrevious = 0;
        for (size_t frame = 0; frame < frames; ++frame) {
            const double value = samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)]
                + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = value;
        }
        const double power
            = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

CMemoryDecoder::CMemoryDecoder(std::vector<std::int16_t> samples, std::uint64_t headerMilliseconds, bool failAtEnd)
    : m_samples(std::move(samples))
    , m_headerMilliseconds(headerMilliseconds)
    , m_failAtEnd(failAtEnd)
{
}

size_t CMemoryDecoder::Read(float* samples, size_t frames)
{
    if (m_next == m_samples.size() && m_failAtEnd)
        throw std::runtime_error("bad frame");
    frames = std::min(frames, (m_samples.size() - m_next) / 2);
    for (size_t i = 0; i < frames * 2; ++i)
        samples[i] = Int16ToFloat(m_samples[m_next + i]);
    m_next += frames * 2;
    return frames;
}

void CPositionSource::MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    for (size_t i = 0; i < frames; ++i) {
        mix[i * 2] += Int16ToFloat(Value(timing.firstFrame + i));
        mix[i * 2 + 1] -= Int16ToFloat(Value(timing.firstFrame + i));
    }
    std::lock_guard lock(mutex);
    buffers.push_back({timing.firstFrame, frames});
}

double ToneFrequency(const std::int16_t* samples, size_t frames, int channels, int channel, int rate)
{
    double first = -1;
    double last = -1;
    int periods = 0;
    for (size_t frame = 1; frame < frames; ++frame) {
        const double before = samples[(frame - 1) * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
        const double now = samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
        if (before >= 0 || now < 0)
            continue;
        const double crossing = static_cast<double>(frame - 1) + before / (before - now);
        if (first < 0)
            first = crossing;
        else
            ++periods;
        last = crossing;
    }
    return periods > 0 ? periods * rate / (last - first) : 0.0;
}

double Cents(double frequency, double reference)
{
    return 1200 * std::log2(frequency / reference);
}

double Level(const float* samples, size_t frames, int channels, int channel, double hertz)
{
    std::complex<double> sum;
    for (size_t frame = 0; frame < frames; ++frame) {
        const double weight = 1 - std::cos(2 * std::numbers::pi * static_cast<double>(frame) / frames);
        const double sample = weight * samples[frame * channels + channel];
        sum += hertz > 0 ? std::polar(sample, -2 * std::numbers::pi * hertz * frame / 44100) : sample * sample;
    }
    return hertz > 0 ? 20 * std::log10(2 * std::abs(sum) / frames) : 10 * std::log10(sum.real() / (1.5 * frames));
}

std::vector<Mp3Frame> Mp3Frames(const std::string& bytes)
{
    static constexpr int kMpeg1Bitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kMpeg2Bitrates[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr int kRates[4] = {44100, 48000, 32000, 0};
    std::vector<Mp3Frame> frames;
    size_t offset = 0;
    while (offset + 4 <= bytes.size()) {
        std::uint32_t header = 0;
        for (size_t i = 0; i < 4; ++i)
            header = header << 8 | static_cast<std::uint8_t>(bytes[offset + i]);
        const bool mpeg1 = (header >> 19 & 3) == 3;
        const std::uint32_t index = header >> 12 & 15;
        const int bitrate = mpeg1 ? kMpeg1Bitrates[index] : kMpeg2Bitrates[index];
        const int rate = kRates[header >> 10 & 3] / (mpeg1 ? 1 : 2);
        if (header >> 21 != 0x7FF || bitrate == 0 || rate == 0)
            break;
        frames.push_back({header, offset});
        offset += static_cast<size_t>((mpeg1 ? 144 : 72) * bitrate * 1000 / rate) + (header >> 9 & 1);
    }
    if (offset != bytes.size())
        frames.push_back({0, offset});
    return frames;
}

} // namespace linlangok::test
