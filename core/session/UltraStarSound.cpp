#include "core/session/UltraStarSound.h"

#include "common/FilePath.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/playback/PairedAudioDecoder.h"

#include <stdexcept>
#include <system_error>

namespace linlangok {

std::unique_ptr<IAudioFileDecoder> OpenUltraStarSound(
    const UltraStarSong& song, const std::filesystem::path& songFile, const AudioFileOpener& open, bool withBacking)
{
    const auto openFile = [&](const std::u16string& name) {
        const std::filesystem::path file = UltraStarFile(songFile, name);
        std::error_code error;
        if (file.empty() || !std::filesystem::is_regular_file(file, error))
            throw std::runtime_error(Utf16ToUtf8(Formatted(Tr("UltraStarSound", "找不到歌曲的音频文件“%1”"), {name})));
        return open(file);
    };
    std::unique_ptr<IAudioFileDecoder> mix = openFile(song.audio);
    if (!withBacking || song.instrumental.empty())
        return mix;
    return std::make_unique<CPairedAudioDecoder>(std::move(mix), openFile(song.instrumental));
}

AudioFileOpener UltraStarSoundOpener(
    AudioFileOpener open, const ITextEncodingDetector& detector, const ICodePage& codePage)
{
    return [open = std::move(open), &detector, &codePage](const std::filesystem::path& path) {
        if (!IsUltraStarFileName(PathToUtf16(path)))
            return open(path);
        const UltraStarRead read = ReadUltraStarFile(path, detector, codePage);
        if (!read.song)
            throw std::runtime_error(Utf16ToUtf8(read.error));
        return OpenUltraStarSound(*read.song, path, open, false);
    };
}

} // namespace linlangok
