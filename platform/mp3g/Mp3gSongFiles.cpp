#include "platform/mp3g/Mp3gSongFiles.h"

#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"
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

// What of a song is opened.
enum class EParts { Audio, Picture, Both };

bool HasAudio(EParts parts)
{
    return parts != EParts::Picture;
}

bool HasPicture(EParts parts)
{
    return parts != EParts::Audio;
}

// A song that is no archive; a .cdg file needs no sound beside it for its picture alone.
Mp3gSong OpenFiles(const std::filesystem::path& song, const Mp3gLimits& limits, EParts parts)
{
    const bool named = HasExtension(FileName(song), kCdgExtension);
    std::optional<std::filesystem::path> other;
    if (!named || HasAudio(parts)) {
        other = FindBeside(song, named ? kAudioExtensions : std::vector {kCdgExtension});
        if (!other) {
            throw std::runtime_error(
                FormattedUtf8(named ? TrUtf8("Mp3gSongFiles", "找不到与“%1”同名的音频文件(.mp3、.ogg、.wav、.flac)")
                                    : TrUtf8("Mp3gSongFiles", "找不到与“%1”同名的 CD+G 图形文件(.cdg)"),
                    {FileName(song)}));
        }
    }
    Mp3gSong opened;
    if (HasPicture(parts)) {
        const std::filesystem::path& graphics = named ? song : *other;
        FileContent content = ReadRegularFile(graphics, limits.graphicsBytes);
        if (content.result != EFileRead::Done)
            throw std::runtime_error(FormattedUtf8(TrUtf8("Mp3gSongFiles", "无法读取“%1”: %2"),
                {FileName(graphics), Utf16ToUtf8(FileReadErrorText(content.result))}));
        opened.picture = std::make_shared<CCdgPicture>(std::move(content.bytes));
    }
    if (HasAudio(parts))
        opened.audio = std::make_unique<CSndFileDecoder>(named ? *other : song);
    return opened;
}

Mp3gSong OpenArchive(const std::filesystem::path& song, const Mp3gLimits& limits, EParts parts)
{
    const CZipArchive archive(song, limits.archiveBytes, limits.archiveMembers);
    const Mp3gMembers members = ChooseMp3gMembers(archive.Names());
    Mp3gSong opened;
    if (HasPicture(parts))
        opened.picture = std::make_shared<CCdgPicture>(archive.Read(members.graphics, limits.graphicsBytes));
    if (HasAudio(parts)) {
        try {
            opened.audio = std::make_unique<CSndFileDecoder>(archive.Read(members.audio, limits.audioBytes));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error("“" + archive.Names()[members.audio] + "”: " + error.what());
        }
    }
    return opened;
}

Mp3gSong Open(const std::filesystem::path& song, const Mp3gLimits& limits, EParts parts)
{
    return HasExtension(FileName(song), kZipExtension) ? OpenArchive(song, limits, parts)
                                                       : OpenFiles(song, limits, parts);
}

} // namespace

Mp3gSong OpenMp3gSong(const std::filesystem::path& song, const Mp3gLimits& limits)
{
    return Open(song, limits, EParts::Both);
}

std::shared_ptr<ISongPicture> OpenMp3gPicture(const std::filesystem::path& song, const Mp3gLimits& limits)
{
    return Open(song, limits, EParts::Picture).picture;
}

std::unique_ptr<IAudioFileDecoder> OpenSongAudio(const std::filesystem::path& song)
{
    const std::string name = FileName(song);
    if (HasExtension(name, kZipExtension) || HasExtension(name, kCdgExtension))
        return Open(song, {}, EParts::Audio).audio;
    return CSndFileDecoder::Open(song);
}

} // namespace linlangok
