#include "core/performance/PerformanceTake.h"

#include "common/FileSaver.h"
#include "common/WavHeader.h"
#include "core/performance/VoiceEffect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace linlangok {
namespace {

constexpr int kSampleRate = 44100;
constexpr std::int64_t kBytesPerFrame = 4;
constexpr std::int64_t kChunkFrames = 16384;
constexpr int kBitrate = 128;
// Above this level (-1 dBFS) the sum is bent smoothly toward full scale instead of clipped.
constexpr float kLimiterKnee = 0.891f;
// An effect's tail (a reverb's decay, an echo's repeats) goes on this long after the voice ends.
constexpr std::int64_t kEffectTailFrames = 3 * kSampleRate;
// The voice goes through an effect in blocks of this size.
constexpr std::int64_t kEffectBlockFrames = 1024;

std::int64_t FramesOf(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::int64_t>(size / kBytesPerFrame);
}

float SoftLimit(float sample)
{
    const float magnitude = std::abs(sample);
    if (magnitude <= kLimiterKnee)
        return sample;
    const float bent = kLimiterKnee + (1 - kLimiterKnee) * std::tanh((magnitude - kLimiterKnee) / (1 - kLimiterKnee));
    return std::copysign(bent, sample);
}

bool IsWavName(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".wav";
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// One part of the mix, read chunk by chunk: its frame 0 lies at the mix's frame `offset`.
class CPart {
public:
    CPart(const std::filesystem::path& path, std::int64_t frames, std::int64_t offset)
        : m_file(std::fopen(path.c_str(), "rb"))
        , m_frames(frames)
        , m_offset(offset)
    {
        if (!m_file)
            throw std::runtime_error("Can't read the performance's temporary files.");
    }

    // Adds `gain` times the part's samples for mix frames first..first+count to `mix`.
    void AddTo(std::vector<float>& mix, std::int64_t first, std::int64_t count, float gain)
    {
        const std::int64_t from = std::clamp(first - m_offset, std::int64_t {0}, m_frames);
        const std::int64_t to = std::clamp(first + count - m_offset, std::int64_t {0}, m_frames);
        if (from >= to)
            return;
        m_samples.resize(static_cast<size_t>((to - from) * 2));
        if (fseeko(m_file.get(), from * kBytesPerFrame, SEEK_SET) != 0
            || std::fread(m_samples.data(), sizeof(std::int16_t), m_samples.size(), m_file.get()) != m_samples.size())
            throw std::runtime_error("Can't read the performance's temporary files.");
        float* out = mix.data() + (from + m_offset - first) * 2;
        for (size_t i = 0; i < m_samples.size(); ++i)
            out[i] += gain * static_cast<float>(m_samples[i]) / 32768.0f;
    }

    std::int64_t Offset() const { return m_offset; }

private:
    FileHandle m_file;
    std::int64_t m_frames;
    std::int64_t m_offset;
    std::vector<std::int16_t> m_samples;
};

// The voice through an effect, chunk after chunk in the mix's order: the effect's output put back
// by its latency, and its tail after the voice's last frame.
class CWetVoice {
public:
    CWetVoice(CPart& voice, IVoiceEffect& effect)
        : m_voice(voice)
        , m_effect(effect)
        , m_dry(static_cast<size_t>(kEffectBlockFrames * 2))
        , m_wet(m_dry.size())
    {
        for (std::int64_t latency = static_cast<std::int64_t>(effect.LatencyFrames()); latency > 0;) {
            const std::int64_t count = std::min(latency, kEffectBlockFrames);
            Run(count);
            latency -= count;
        }
    }

    // Adds `gain` times the wet voice for mix frames first..first+count to `mix`; called for
    // consecutive chunks.
    void AddTo(std::vector<float>& mix, std::int64_t first, std::int64_t count, float gain)
    {
        std::int64_t frame = std::max(first, m_voice.Offset());
        const std::int64_t end = first + count;
        while (frame < end) {
            const std::int64_t block = std::min(end - frame, kEffectBlockFrames);
            Run(block);
            float* out = mix.data() + (frame - first) * 2;
            for (size_t i = 0; i < static_cast<size_t>(block * 2); ++i)
                out[i] += gain * m_wet[i];
            frame += block;
        }
    }

private:
    // The voice's next `count` frames (silence past its end) through the effect into m_wet.
    void Run(std::int64_t count)
    {
        std::fill_n(m_dry.begin(), count * 2, 0.0f);
        m_voice.AddTo(m_dry, m_voice.Offset() + m_fed, count, 1.0f);
        m_effect.Process(m_dry.data(), 2, static_cast<size_t>(count), m_wet.data());
        m_fed += count;
    }

    CPart& m_voice;
    IVoiceEffect& m_effect;
    std::vector<float> m_dry;
    std::vector<float> m_wet;
    std::int64_t m_fed = 0; // voice frames given to the effect
};

} // namespace

CPerformanceTake::CPerformanceTake(LockedFile accompaniment, LockedFile voice, std::filesystem::path audition,
    std::int64_t voiceOffsetFrames, double alignmentMs)
    : m_accompaniment(std::move(accompaniment))
    , m_voice(std::move(voice))
    , m_audition(std::move(audition))
    , m_alignmentMs(alignmentMs)
    , m_accompanimentFrames(FramesOf(m_accompaniment.path))
    , m_voiceFrames(FramesOf(m_voice.path))
    , m_voiceOffsetFrames(std::clamp(voiceOffsetFrames, -m_voiceFrames, m_accompanimentFrames))
{
}

CPerformanceTake::~CPerformanceTake()
{
    std::error_code ignored;
    std::filesystem::remove(m_accompaniment.path, ignored);
    std::filesystem::remove(m_voice.path, ignored);
}

std::int64_t CPerformanceTake::FirstFrame() const
{
    return std::min<std::int64_t>(0, m_voiceOffsetFrames);
}

std::int64_t CPerformanceTake::EndFrame() const
{
    return std::max(m_accompanimentFrames, m_voiceOffsetFrames + m_voiceFrames);
}

std::chrono::milliseconds CPerformanceTake::Length() const
{
    return std::chrono::milliseconds((EndFrame() - FirstFrame()) * 1000 / kSampleRate);
}

double CPerformanceTake::AlignmentMs() const
{
    return m_alignmentMs;
}

void CPerformanceTake::Write(
    const std::filesystem::path& path, int voicePercent, IMp3EncoderLibrary* encoder, IVoiceEffect* voiceEffect) const
{
    const bool wav = IsWavName(path);
    const char* failure = wav ? "Can't write WAV file." : "Can't write MP3 file.";
    const int percent = std::clamp(voicePercent, 0, 100);
    const float voiceGain = std::min(1.0f, percent / 50.0f);
    const float accompanimentGain = std::min(1.0f, (100 - percent) / 50.0f);
    const std::int64_t first = FirstFrame();
    const std::int64_t end
        = voiceEffect ? std::max(EndFrame(), m_voiceOffsetFrames + m_voiceFrames + kEffectTailFrames) : EndFrame();

    std::unique_ptr<IMp3Encoder> mp3;
    if (!wav) {
        if (!encoder)
            throw std::runtime_error("Error loading lame_enc.DLL");
        mp3 = encoder->InitStream(RecordingEncoderSettings(kBitrate, 0));
        if (!mp3)
            throw std::runtime_error(failure);
    }
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(end - first) * kBytesPerFrame;
    if (wav && dataBytes > kLargestWavDataBytes)
        throw std::runtime_error("The performance is too long for a WAV file.");
    CPart accompaniment(m_accompaniment.path, m_accompanimentFrames, 0);
    CPart voice(m_voice.path, m_voiceFrames, m_voiceOffsetFrames);
    std::optional<CWetVoice> wetVoice;
    if (voiceEffect)
        wetVoice.emplace(voice, *voiceEffect);
    CFileSaver saver(path);
    if (!saver.IsOpen() || (wav && !saver.Write(CaptureFormatWavHeader(static_cast<std::uint32_t>(dataBytes)))))
        throw std::runtime_error(failure);

    std::vector<float> mix;
    std::vector<std::int16_t> pcm;
    std::vector<std::uint8_t> encoded;
    for (std::int64_t frame = first; frame < end; frame += kChunkFrames) {
        const std::int64_t count = std::min(kChunkFrames, end - frame);
        mix.assign(static_cast<size_t>(count * 2), 0.0f);
        accompaniment.AddTo(mix, frame, count, accompanimentGain);
        if (wetVoice)
            wetVoice->AddTo(mix, frame, count, voiceGain);
        else
            voice.AddTo(mix, frame, count, voiceGain);
        pcm.resize(mix.size());
        for (size_t i = 0; i < mix.size(); ++i)
            pcm[i] = static_cast<std::int16_t>(std::lrint(SoftLimit(mix[i]) * 32767.0f));
        const bool written = wav ? saver.Write(pcm.data(), pcm.size() * sizeof(std::int16_t))
                                 : mp3->Encode(pcm.data(), static_cast<size_t>(count), encoded)
                && saver.Write(encoded.data(), encoded.size());
        if (!written)
            throw std::runtime_error(failure);
    }
    if (mp3 && !(mp3->Flush(encoded) && saver.Write(encoded.data(), encoded.size())))
        throw std::runtime_error(failure);
    if (!saver.Commit())
        throw std::runtime_error(failure);
}

} // namespace linlangok
