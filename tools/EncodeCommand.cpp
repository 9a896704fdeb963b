// encode IN.wav OUT.mp3: a 44.1 kHz stereo WAV through the recorder's MP3 stream writer, in the
// 2-second blocks the recorder hands over, then saved to OUT.mp3 by the save-as flow.

#include "common/RegularFile.h"
#include "common/Text.h"
#include "core/recording/Mp3StreamWriter.h"
#include "tools/Commands.h"
#include "tools/SaveToPathPrompts.h"

#include <sndfile.h>

#include <iostream>
#include <limits>
#include <memory>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr const char* kUsage = "encode IN.wav OUT.mp3";
constexpr sf_count_t kBlockFrames = 2 * 44100;

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int Fail(const std::string& message)
{
    std::cerr << message << '\n';
    return 1;
}

} // namespace

int RunEncodeCommand(ToolContext& context)
{
    if (context.arguments.size() != 2)
        return UsageError(kUsage);
    const std::string& input = context.arguments[0];
    const CRegularFile source(input, std::numeric_limits<std::uint64_t>::max());
    if (!source.IsOpen())
        return Fail(input + ": " + Utf16ToUtf8(FileReadErrorText(source.Result())));
    SF_INFO info {};
    std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open_fd(source.Descriptor(), SFM_READ, &info, SF_FALSE));
    if (!file)
        return Fail(input + ": " + sf_strerror(nullptr));
    if (info.samplerate != 44100 || info.channels != 2)
        return Fail(input + ": not a 44.1 kHz stereo sound file");

    CSaveToPathPrompts prompts(context.prompts, context.arguments[1]);
    try {
        CTakeFolder takes(context.fileLocks, context.programFolder);
        CMp3StreamWriter writer(&context.encoder, takes, 128, 0);
        writer.OpenTemporaryFile(prompts);
        std::vector<std::int16_t> block(2 * kBlockFrames);
        while (const sf_count_t frames = sf_readf_short(file.get(), block.data(), kBlockFrames))
            writer.Write(block.data(), static_cast<std::size_t>(frames) * 4);
        if (sf_error(file.get()) != SF_ERR_NO_ERROR)
            return Fail(input + ": " + sf_strerror(file.get()));
        writer.Close();
        if (writer.SaveAs(prompts).fate != ETakeFate::Saved)
            return 1;
    } catch (const std::runtime_error& error) {
        return Fail(error.what());
    }
    return 0;
}

} // namespace linlangok
