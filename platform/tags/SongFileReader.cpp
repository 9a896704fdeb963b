#include "platform/tags/SongFileReader.h"

#include "common/FilePath.h"
#include "common/QuietPrompts.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "core/cdg/Mp3gSong.h"
#include "core/lyrics/LrcParser.h"
#include "midi/MidiSong.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/mp3g/ZipArchive.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>

#include <cmath>

namespace linlangok {
namespace {

std::optional<SongDetails> ReadAudio(const TagLib::FileRef& file)
{
    // A file without a frame of sound has no length: it is no song.
    if (file.isNull() || !file.audioProperties() || file.audioProperties()->lengthInMilliseconds() <= 0)
        return std::nullopt;
    SongDetails details;
    if (const TagLib::Tag* tag = file.tag()) {
        details.title = TrimBoth(Utf8ToUtf16(tag->title().to8Bit(true)), u" ");
        details.singer = TrimBoth(Utf8ToUtf16(tag->artist().to8Bit(true)), u" ");
    }
    details.lengthMilliseconds = file.audioProperties()->lengthInMilliseconds();
    return details;
}

// The sound member of an MP3+G archive, read in memory.
std::optional<SongDetails> ReadArchive(const std::filesystem::path& path)
{
    try {
        const Mp3gLimits limits;
        const CZipArchive archive(path, limits.archiveBytes, limits.archiveMembers);
        const std::string sound = archive.Read(ChooseMp3gMembers(archive.Names()).audio, limits.audioBytes);
        TagLib::ByteVectorStream stream(TagLib::ByteVector(sound.data(), static_cast<unsigned int>(sound.size())));
        return ReadAudio(TagLib::FileRef(&stream, true, TagLib::AudioProperties::Fast));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

} // namespace

CSongFileReader::CSongFileReader(const ICodePage& codePage, const ITextEncodingDetector& detector,
    const std::filesystem::path& lyricFolder, ISongReader* videoReader)
    : m_codePage(codePage)
    , m_detector(detector)
    , m_videoReader(videoReader)
    , m_prompts(std::make_unique<CQuietPrompts>())
    , m_names(codePage, detector)
    , m_lyricFiles(lyricFolder, m_names, *m_prompts)
    , m_song(std::make_unique<CMidiSong>(codePage))
    , m_untitled(m_song->Title())
{
}

CSongFileReader::~CSongFileReader() = default;

std::optional<SongDetails> CSongFileReader::Read(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    if (DetectSongKind(PathToUtf16(path)) == ESongKind::Midi)
        return ReadMidi(path);
    std::optional<SongDetails> details;
    if (IsVideoFileName(PathToUtf16(path)))
        details = m_videoReader ? m_videoReader->Read(path) : std::nullopt;
    else if (HasExtension(path.filename().string(), kZipExtension))
        details = ReadArchive(path);
    else
        details = ReadAudio(TagLib::FileRef(path.c_str(), true, TagLib::AudioProperties::Fast));
    if (details && (details->title.empty() || details->singer.empty()))
        TakeLyricTitles(path, *details);
    return details;
}

void CSongFileReader::TakeLyricTitles(const std::filesystem::path& path, SongDetails& details)
{
    const std::filesystem::path lyrics = m_lyricFiles.Find(path);
    if (lyrics.empty())
        return;
    if (const std::optional<LrcLyrics> lrc = ReadLrcFile(lyrics, m_codePage, 0, m_detector)) {
        details.title = details.title.empty() ? lrc->title : details.title;
        details.singer = details.singer.empty() ? lrc->artist : details.singer;
    }
}

std::optional<SongDetails> CSongFileReader::ReadMidi(const std::filesystem::path& path)
{
    if (!m_song->Load(path, m_detector))
        return std::nullopt;
    SongDetails details;
    const std::vector<std::u16string>& karaokeTitles = m_song->KaraokeTitles();
    const std::u16string title = TrimBoth(m_song->Title(), u" ");
    if (!karaokeTitles.empty())
        details.title = karaokeTitles[0];
    else if (title != m_untitled)
        details.title = title;
    if (karaokeTitles.size() > 1)
        details.singer = karaokeTitles[1];
    details.lengthMilliseconds = static_cast<std::int32_t>(std::lround(m_song->LengthSeconds() * 1000));
    m_song->Clear();
    return details;
}

} // namespace linlangok
