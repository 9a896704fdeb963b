#include "platform/mp3g/Mp3gSongFiles.h"

#include "common/RegularFile.h"
#include "common/Text.h"
#include "core/cdg/CdgPicture.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/mp3g/ZipArchive.h"

#include <stdexcept>

namespace linlangok {
namespace {

const std::vector<std::string_view> kAudioExtensions(std::begin(kMp3gAudioExtensions), std::end(kMp3gAudioExtensions));

std::string FileName(const std::filesystem::path& path)
{
    return path.filename().string();
}

// The sound (and, when asked, the graphics) of a song that is no archive.
Mp3gSong OpenFiles(const std::filesystem::path& song, const Mp3gLimits& limits, bool withPicture)
{
    const bool named = HasExtension(FileName(song), kCdgExtension);
    const std::optional<std::filesystem::path> other
        = FindBeside(song, named ? kAudioExtensions : std::vector {kCdgExtension});
    if (!other) {
        throw std::runtime_error(named ? "找不到与“" + FileName(song) + "”同名的音频文件(.mp3、.ogg、.wav、.flac)"
                                       : "找不到与“" + FileName(song) + "”同名的 CD+G 图形文件(.cdg)");
    }
    const std::filesystem::path& audio = named ? *other : song;
    const std::filesystem::path& graphics = named ? song : *other;
    Mp3gSong opened;
    if (withPicture) {
        FileContent content = ReadRegularFile(graphics, limits.graphicsBytes);
        if (content.result != EFileRead::Done)
            throw std::runtime_error(
                "无法读取“" + FileName(graphics) + "”: " + Utf16ToUtf8(FileReadErrorText(content.result)));
        opened.picture = std::make_shared<CCdgPicture>(std::move(content.bytes));
    }
    opened.audio = std::make_unique<CSndFileDecoder>(audio);
    return opened;
}

Mp3gSong OpenArchive(const std::filesystem::path& song, const Mp3gLimits& limits, bool withPicture)
{
    const CZipArchive archive(song, limits.archiveBytes, limits.archiveMembers);
    const Mp3gMembers members = ChooseMp3gMembers(archive.Names());
    Mp3gSong opened;
    if (withPicture)
        opened.picture = std::make_shared<CCdgPicture>(archive.Read(members.graphics, limits.graphicsBytes));
    try {
        opened.audio = std::make_unique<CSndFileDecoder>(archive.Read(members.audio, limits.audioBytes));
    } catch (const std::runtime_error& error) {
        throw std::runtime_error("“" + archive.Names()[members.audio] + "”: " + error.what());
    }
    return opened;
}

Mp3gSong Open(const std::filesystem::path& song, const Mp3gLimits& limits, bool withPicture)
{
    return HasExtension(FileName(song), kZipExtension) ? OpenArchive(song, limits, withPicture)
                                                       : OpenFiles(song, limits, withPicture);
}

} // namespace

Mp3gSong OpenMp3gSong(const std::filesystem::path& song, const Mp3gLimits& limits)
{
    return Open(song, limits, true);
}

std::unique_ptr<IAudioFileDecoder> OpenSongAudio(const std::filesystem::path& song)
{
    const std::string name = FileName(song);
    if (HasExtension(name, kZipExtension) || HasExtension(name, kCdgExtension))
        return Open(song, {}, false).audio;
    return CSndFileDecoder::Open(song);
}

} // namespace linlangok
