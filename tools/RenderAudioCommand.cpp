#include "core/playback/VocalReduction.h"
#include "core/session/UltraStarSound.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/fft/FftwRealFft.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/render/RenderAudio.h"
#include "tools/Commands.h"

#include <iostream>

namespace linlangok {

int RunRenderAudioCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 2)
        return UsageError(kRenderAudioUsage);
    std::vector<std::string> options(arguments.begin() + 2, arguments.end());
    const bool normalize = !TakeSwitch(options, "--no-normalize");
    const bool vocalReduction = TakeSwitch(options, "--vocal-reduction");
    ShiftOptions shift;
    if (!ParseShiftOptions(options, 0, kAudioPitchLimit, shift))
        return UsageError(kRenderAudioUsage);
    const std::optional<double> gain
        = normalize ? std::optional(MeasuredLevelingGainDb(context, arguments[0], ESongKind::Audio)) : std::nullopt;
    AudioFileOpener open = UltraStarSoundOpener(OpenSongAudio, context.textEncodings, context.codePage);
    RenderedPicks picks;
    if (vocalReduction) {
        // The backing the program plays for 伴唱: the song with the centre of its stereo image taken out.
        open = [mix = std::move(open)](const std::filesystem::path& path) -> std::unique_ptr<IAudioFileDecoder> {
            return std::make_unique<CVocalReducedDecoder>(mix(path), CFftwRealFft::Create);
        };
        picks.first = {2, 3};
    }
    const auto frames = RenderAudio(context.prompts, arguments[0], arguments[1], {shift.transpose, shift.tempoPercent},
        gain, open, CRubberBandStretcher::Create, picks);
    if (!frames)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(*frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
