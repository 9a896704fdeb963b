#include "platform/render/RenderAudio.h"

#include "common/Text.h"
#include "core/engine/AudioPlayer.h"
#include "core/engine/AudioStretchStage.h"
#include "core/engine/LoudnessLeveler.h"
#include "platform/audio/WavFileWriter.h"

#include <exception>
#include <vector>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 4096;

std::u16string CannotWrite(const std::filesystem::path& path)
{
    return u"无法写入文件 " + Utf8ToUtf16(path.string());
}

} // namespace

std::optional<uint64_t> RenderAudio(IUserPrompts& prompts, const std::filesystem::path& audioFile,
    const std::filesystem::path& wavFile, const StretchSettings& settings, std::optional<double> levelingGainDb,
    const AudioFileOpener& open, const AudioStretcherFactory& makeStretcher)
{
    std::optional<CAudioStretchStage> stage;
    try {
        stage.emplace(open(audioFile), makeStretcher);
        stage->Restart(0.0, settings);
    } catch (const std::exception&) {
        prompts.ShowError(kCaptionError, kPlayFileError);
        return std::nullopt;
    }
    std::optional<CWavFileWriter> wav;
    try {
        wav.emplace(wavFile, EWavFileMode::Replacing);
    } catch (const std::runtime_error&) {
        prompts.ShowError(kCaptionError, CannotWrite(wavFile));
        return std::nullopt;
    }
    CLoudnessLeveler leveler;
    leveler.SetGain(levelingGainDb);
    std::vector<float> chunk(kChunkFrames * 2);
    uint64_t frames = 0;
    for (;;) {
        const size_t read = stage->Read(chunk.data(), kChunkFrames);
        const size_t leveled = read == 0 ? leveler.Drain(chunk.data()) : leveler.ProcessInTime(chunk.data(), read);
        if (!wav->WriteFloat(chunk.data(), leveled)) {
            prompts.ShowError(kCaptionError, CannotWrite(wavFile));
            return std::nullopt;
        }
        frames += leveled;
        if (read == 0)
            break;
    }
    if (stage->SourceFrames() == 0 && stage->LengthMilliseconds() > 0) {
        prompts.ShowError(kCaptionError, kPlayFileError);
        return std::nullopt;
    }
    if (!wav->Commit()) {
        prompts.ShowError(kCaptionError, CannotWrite(wavFile));
        return std::nullopt;
    }
    if (stage->SourceFailed())
        prompts.ShowError(
            kCaptionWarning, u"文件后面的数据无法解码, 只写入了前面的部分: " + Utf8ToUtf16(audioFile.string()));
    return frames;
}

} // namespace linlangok
