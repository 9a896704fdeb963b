#include "platform/loudness/SongLoudnessAnalyser.h"

#include "common/QuietPrompts.h"
#include "core/audio/SampleFormat.h"
#include "platform/loudness/LoudnessMeter.h"
#include "platform/render/RenderSong.h"

#include <exception>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 4096;
constexpr size_t kMidiBufferFrames = 256;

} // namespace

CSongLoudnessAnalyser::CSongLoudnessAnalyser(
    AudioFileOpener open, const ICodePage& codePage, std::optional<std::filesystem::path> soundFont)
    : m_open(std::move(open))
    , m_codePage(codePage)
    , m_soundFont(std::move(soundFont))
{
}

std::optional<LoudnessMeasure> CSongLoudnessAnalyser::Analyse(
    const std::filesystem::path& song, ESongKind kind, std::stop_token stop)
{
    try {
        return kind == ESongKind::Midi ? AnalyseMidi(song, stop) : AnalyseAudio(song, stop);
    } catch (const std::exception&) {
        return std::nullopt; // no memory, or no meter
    }
}

void CSongLoudnessAnalyser::EnterBackgroundThread()
{
    // Linux takes the nice value per thread.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

std::optional<LoudnessMeasure> CSongLoudnessAnalyser::AnalyseAudio(
    const std::filesystem::path& song, const std::stop_token& stop)
{
    const std::unique_ptr<IAudioFileDecoder> decoder = m_open(song);
    CLoudnessMeter meter(kStreamSampleRate);
    std::vector<float> chunk(2 * kChunkFrames);
    try {
        while (const size_t frames = decoder->Read(chunk.data(), kChunkFrames)) {
            if (stop.stop_requested())
                return std::nullopt;
            meter.Add(chunk.data(), frames);
        }
    } catch (const std::runtime_error&) {
        // The player plays a file that breaks off up to the break: so is it measured.
    }
    return meter.Measure();
}

std::optional<LoudnessMeasure> CSongLoudnessAnalyser::AnalyseMidi(
    const std::filesystem::path& song, const std::stop_token& stop)
{
    CQuietPrompts prompts;
    CLoudnessMeter meter(kMidiAnalysisSampleRate);
    RenderOptions options;
    options.soundFont = m_soundFont;
    options.bufferFrames = kMidiBufferFrames;
    const auto measure = [&](const float* frames, size_t count) {
        meter.Add(frames, count);
        return !stop.stop_requested();
    };
    if (!RenderSongInto(prompts, m_codePage, song, options, kMidiAnalysisSampleRate, measure))
        return std::nullopt;
    return meter.Measure();
}

} // namespace linlangok
