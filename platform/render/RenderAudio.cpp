#include "platform/render/RenderAudio.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/cdg/Mp3gSong.h"
#include "core/loudness/LoudnessLeveler.h"
#include "core/playback/AudioPlayer.h"
#include "core/playback/AudioStretchStage.h"
#include "platform/audio/WavFileWriter.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 4096;

std::u16string CannotWrite(const std::filesystem::path& path)
{
    return Formatted(Tr("RenderAudio", "无法写入文件 %1"), {PathToUtf16(path)});
}

} // namespace

std::optional<std::uint64_t> RenderAudio(IUserPrompts& prompts, const std::filesystem::path& audioFile,
    const std::filesystem::path& wavFile, const StretchSettings& settings, std::optional<double> levelingGainDb,
    const AudioFileOpener& open, const AudioStretcherFactory& makeStretcher, const RenderedPicks& picks)
{
    std::optional<CAudioStretchStage> stage;
    try {
        stage.emplace(open(audioFile), makeStretcher);
        stage->Restart(0.0, settings);
    } catch (const std::exception& error) {
        // An MP3+G song's opener says why for the user, as the session shows it.
        prompts.ShowError(CaptionError(), IsMp3gSong(audioFile) ? PlayFileErrorText(error.what()) : PlayFileErrorText());
        return std::nullopt;
    }
    std::optional<CWavFileWriter> wav;
    try {
        wav.emplace(wavFile, EWavFileMode::Replacing);
    } catch (const std::runtime_error&) {
        prompts.ShowError(CaptionError(), CannotWrite(wavFile));
        return std::nullopt;
    }
    const auto channels = static_cast<size_t>(stage->Channels());
    CLoudnessLeveler leveler(44100, channels);
    leveler.SetGain(levelingGainDb);
    CChannelPicker picker;
    picker.Start(channels, picks.first);
    auto change = picks.changes.begin();
    const double songFramesPerFrame = stage->Settings().SongFramesPerFrame();
    std::vector<float> chunk(kChunkFrames * channels);
    std::vector<float> stereo(kChunkFrames * 2);
    std::uint64_t frames = 0;
    for (;;) {
        const size_t read = stage->Read(chunk.data(), kChunkFrames);
        const size_t leveled = read == 0 ? leveler.Drain(chunk.data()) : leveler.ProcessInTime(chunk.data(), read);
        std::fill(stereo.begin(), stereo.end(), 0.0f);
        for (size_t mixed = 0; mixed < leveled;) {
            size_t count = leveled - mixed;
            for (; change != picks.changes.end(); ++change) {
                const auto at = static_cast<std::uint64_t>(std::llround(change->first * 44100 / songFramesPerFrame));
                if (at > frames + mixed) {
                    count = static_cast<size_t>(std::min<std::uint64_t>(count, at - frames - mixed));
                    break;
                }
                picker.Pick(change->second);
            }
            picker.MixInto(&stereo[mixed * 2], &chunk[mixed * channels], count);
            mixed += count;
        }
        if (!wav->WriteFloat(stereo.data(), leveled)) {
            prompts.ShowError(CaptionError(), CannotWrite(wavFile));
            return std::nullopt;
        }
        frames += leveled;
        if (read == 0)
            break;
    }
    if (stage->SourceFrames() == 0 && stage->LengthMilliseconds() > 0) {
        prompts.ShowError(CaptionError(), PlayFileErrorText());
        return std::nullopt;
    }
    if (!wav->Commit()) {
        prompts.ShowError(CaptionError(), CannotWrite(wavFile));
        return std::nullopt;
    }
    if (stage->SourceFailed())
        prompts.ShowError(CaptionWarning(),
            Formatted(Tr("RenderAudio", "文件后面的数据无法解码, 只写入了前面的部分: %1"), {PathToUtf16(audioFile)}));
    return frames;
}

} // namespace linlangok
