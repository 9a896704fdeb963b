#include "tests/support/TestSinger.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace linlangok {
namespace {

// A two-pole resonator at a formant's frequency and bandwidth.
class CResonator {
public:
    CResonator(double frequency, double bandwidth, int sampleRate)
    {
        const double radius = std::exp(-std::numbers::pi * bandwidth / sampleRate);
        m_a1 = 2 * radius * std::cos(2 * std::numbers::pi * frequency / sampleRate);
        m_a2 = -radius * radius;
        m_gain = 1 - radius;
    }
    double Filter(double input)
    {
        const double output = m_gain * input + m_a1 * m_y1 + m_a2 * m_y2;
        m_y2 = m_y1;
        m_y1 = output;
        return output;
    }

private:
    double m_a1 = 0, m_a2 = 0, m_gain = 0, m_y1 = 0, m_y2 = 0;
};

// The first three formants of a, e, i, o, u (Hz).
constexpr std::array<std::array<double, 3>, 5> kVowels {{
    {800, 1200, 2500},
    {500, 1800, 2500},
    {300, 2300, 3000},
    {500, 900, 2400},
    {320, 800, 2400},
}};

// A Rosenberg glottal pulse at phase 0..1 of its period: opening, closing, then closed.
double GlottalPulse(double phase)
{
    constexpr double kOpening = 0.4;
    constexpr double kClosing = 0.16;
    if (phase < kOpening)
        return 0.5 * (1 - std::cos(std::numbers::pi * phase / kOpening));
    if (phase < kOpening + kClosing)
        return std::cos(0.5 * std::numbers::pi * (phase - kOpening) / kClosing);
    return 0;
}

constexpr double kVoiceRms = 0.1;

} // namespace

std::vector<MelodyNote> TestTune(int notes, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> step(-4, 4);
    std::uniform_real_distribution<double> length(0.25, 0.8);
    std::vector<MelodyNote> tune;
    double time = 1.0;
    int pitch = 66;
    for (int index = 0; index < notes; ++index) {
        pitch = std::clamp(pitch + step(random), 57, 76);
        const double seconds = length(random);
        tune.push_back({time, time + seconds, double(pitch)});
        time += seconds + (index % 8 == 7 ? 1.2 : 0.0);
    }
    return tune;
}

std::vector<float> TestBacking(const std::vector<MelodyNote>& tune, int sampleRate, double seconds, double level)
{
    std::vector<double> backing(static_cast<size_t>(seconds * sampleRate), 0.0);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (const MelodyNote& note : tune) {
        const size_t first = std::min(backing.size(), static_cast<size_t>(note.start * sampleRate));
        const size_t end = std::min(backing.size(), static_cast<size_t>(note.end * sampleRate));
        for (const int interval : {-19, -5, 4, 7}) {
            const double frequency = 440 * std::exp2((note.pitch + interval - 69) / 12);
            for (size_t at = first; at < end; ++at) {
                const double phase = 2 * std::numbers::pi * frequency * double(at) / sampleRate;
                backing[at] += std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
            }
        }
    }
    const size_t quarter = static_cast<size_t>(sampleRate / 4);
    for (size_t beat = 0; beat < backing.size(); beat += quarter) {
        for (size_t at = beat; at < std::min(backing.size(), beat + quarter / 8); ++at)
            backing[at] += 2 * unit(random);
    }
    double power = 0;
    for (double sample : backing)
        power += sample * sample;
    const double scale = power > 0 ? level / std::sqrt(power / double(backing.size())) : 0;
    std::vector<float> samples(backing.size());
    std::transform(
        backing.begin(), backing.end(), samples.begin(), [scale](double sample) { return float(sample * scale); });
    return samples;
}

bool NoteMatches(const MelodyNote& truth, const MelodyNote& derived)
{
    return std::abs(derived.start - truth.start) <= 0.060 && std::abs(derived.pitch - truth.pitch) <= 0.5;
}

size_t NotesFound(const std::vector<MelodyNote>& truth, const std::vector<MelodyNote>& derived)
{
    return size_t(std::count_if(truth.begin(), truth.end(), [&](const MelodyNote& note) {
        return std::any_of(
            derived.begin(), derived.end(), [&](const MelodyNote& found) { return NoteMatches(note, found); });
    }));
}

SungVoice Sing(const std::vector<MelodyNote>& melody, const SingerVoice& voice, double seconds)
{
    const int rate = voice.sampleRate;
    const size_t length = static_cast<size_t>(seconds * rate);
    SungVoice sung {std::vector<float>(length, 0.0f), std::vector<float>(length, NAN)};
    std::mt19937 random(voice.seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (size_t index = 0; index < melody.size(); ++index) {
        const MelodyNote& note = melody[index];
        const double pitch = note.pitch + voice.semitones - (index % 2 == 1 ? voice.flatEveryOther : 0);
        const auto& formants = kVowels[index % kVowels.size()];
        std::array<CResonator, 3> tract {
            CResonator(formants[0], 80, rate), CResonator(formants[1], 90, rate), CResonator(formants[2], 120, rate)};
        const size_t first = std::min(length, static_cast<size_t>(note.start * rate));
        const size_t end = std::min(length, static_cast<size_t>(note.end * rate));
        const size_t voicedFrom = std::min(end, first + static_cast<size_t>(voice.consonantSeconds * rate));
        double phase = 0;
        double periodScale = 1;
        std::vector<double> vowel(end - std::min(voicedFrom, end));
        for (size_t at = voicedFrom; at < end; ++at) {
            const double time = double(at - first) / rate;
            const double cents = voice.vibratoCents * std::sin(2 * std::numbers::pi * voice.vibratoHz * time);
            const double truePitch = pitch + cents / 100;
            phase += 440 * std::exp2((truePitch - 69) / 12) / periodScale / rate;
            if (phase >= 1) {
                phase -= 1;
                periodScale = 1 + voice.jitter * unit(random);
            }
            double sample = GlottalPulse(phase);
            for (CResonator& formant : tract)
                sample = formant.Filter(sample);
            const double fromStart = double(at - voicedFrom) / rate;
            const double fromEnd = double(end - at) / rate;
            vowel[at - voicedFrom] = sample * std::min({1.0, fromStart / 0.02 + 0.05, fromEnd / 0.03});
            sung.truePitch[at] = float(truePitch);
        }
        // Every syllable at one level, 20 dB under full scale; its consonant 15 dB under that.
        double power = 0;
        for (double sample : vowel)
            power += sample * sample;
        const double scale = power > 0 ? kVoiceRms / std::sqrt(power / double(vowel.size())) : 0;
        for (size_t at = voicedFrom; at < end; ++at)
            sung.samples[at] = float(vowel[at - voicedFrom] * scale);
        for (size_t at = first; at < voicedFrom; ++at)
            sung.samples[at] = float(kVoiceRms * 0.3 * unit(random));
    }
    for (float& sample : sung.samples)
        sample += float(kVoiceRms * voice.breath * std::sqrt(3.0) * unit(random));
    return sung;
}

} // namespace linlangok
