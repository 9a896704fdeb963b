#include "platform/tags/SongFileReader.h"

#include "common/FilePath.h"
#include "common/QuietPrompts.h"
#include "common/RegularFile.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "core/cdg/Mp3gSong.h"
#include "core/lyrics/LrcParser.h"
#include "core/lyrics/UltraStarSong.h"
#include "midi/MidiSong.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/mp3g/ZipArchive.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace linlangok {
namespace {

// TagLib searches a file of any length for its first frame or stream marker, and some files back
// from the end for their last: through a 2 GB file of zeros that takes minutes. Each must be this
// close to where TagLib starts looking, else the file is no song.
constexpr std::uint64_t kSoundSearchBytes = std::uint64_t {1} << 20;
// The longest MPEG audio frame (padded layer II at 160 kbit/s and 8 kHz) and the header after it.
constexpr std::uint64_t kLongestMpegFrame = 2881 + 4;

// Up to count bytes from offset; fewer at the end.
using ReadBytes = std::function<std::string(std::uint64_t offset, size_t count)>;

// The length in bytes of the MPEG audio frame whose header the four bytes are, 0 when they are
// none, as TagLib judges a header.
size_t MpegFrameLength(const unsigned char* header)
{
    static constexpr int kBitrates[2][3][16]
        = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
               {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
               {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
            {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
                {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
                {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static constexpr int kSampleRates[4] = {44100, 48000, 32000, 0};
    if (header[0] != 0xFF || header[1] == 0xFF || (header[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (header[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = 4 - ((header[1] >> 1) & 3); // 4: reserved
    if (version == 1 || layer == 4)
        return 0;
    const bool mpeg1 = version == 3;
    const int bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][header[2] >> 4];
    const int sampleRate = kSampleRates[(header[2] >> 2) & 3] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    if (bitrate == 0 || sampleRate == 0)
        return 0;
    const int samples = layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;
    const bool padded = (header[2] & 2) != 0;
    return static_cast<size_t>(samples * bitrate * 125 / sampleRate + (padded ? (layer == 1 ? 4 : 1) : 0));
}

// The kinds of audio file whose sound TagLib searches for.
bool IsSearchedKind(std::string_view extension)
{
    return extension == ".mp3" || extension == ".ogg" || extension == ".flac";
}

std::uint32_t UInt32At(std::string_view bytes, size_t at, bool bigEndian)
{
    std::uint32_t value = 0;
    for (size_t index = 0; index < 4; ++index)
        value = value << 8 | static_cast<unsigned char>(bytes[at + (bigEndian ? index : 3 - index)]);
    return value;
}

// The offset of the first MPEG audio frame among the first `within` bytes that another follows
// with the same sync, version, layer and sample rate (as TagLib requires); npos for none.
size_t FindMpegFrames(std::string_view bytes, size_t within)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at + 4 <= bytes.size() && at < within; ++at) {
        const size_t length = data[at] == 0xFF ? MpegFrameLength(data + at) : 0;
        if (length != 0 && at + length + 4 <= bytes.size()
            && (UInt32At(bytes, at, true) & 0xFFFE0C00) == (UInt32At(bytes, at + length, true) & 0xFFFE0C00))
            return at;
    }
    return std::string_view::npos;
}

// Whether TagLib finds the sound of an audio file of `size` bytes and the kind (".mp3", ".flac",
// ".ogg"; others it reads from their first bytes) without a long search. From past an ID3v2 tag
// at the start it looks for two MPEG audio frames in a row, "fLaC" or "OggS"; back from the end
// (before ID3v1 and APE tags) for the last frames of an MP3 without a Xing, Info or VBRI header
// and the last page of an Ogg file. Each must be within kSoundSearchBytes.
bool TagLibFindsSoundSoon(const ReadBytes& read, std::uint64_t size, std::string_view extension)
{
    if (!IsSearchedKind(extension))
        return true;
    const bool mpeg = extension == ".mp3";
    const bool ogg = extension == ".ogg";
    std::uint64_t start = 0;
    const std::string tag = read(0, 10);
    if (tag.size() == 10 && tag.starts_with("ID3")) {
        start = 10 + ((tag[5] & 0x10) ? 10 : 0); // the header, and the footer when the flags say so
        for (size_t at = 6; at < 10; ++at)
            start += static_cast<std::uint64_t>(tag[at] & 0x7F) << (7 * (9 - at));
    }
    const std::string head = read(start, kSoundSearchBytes + kLongestMpegFrame);
    std::uint64_t end = size;
    if (mpeg) {
        const size_t first = FindMpegFrames(head, kSoundSearchBytes);
        if (first == std::string_view::npos)
            return false;
        const std::string_view frame = std::string_view(head).substr(
            first, MpegFrameLength(reinterpret_cast<const unsigned char*>(head.data() + first)));
        if (frame.find("Xing") != frame.npos || frame.find("Info") != frame.npos || frame.find("VBRI") != frame.npos)
            return true;
        if (end >= 128 && read(end - 128, 3) == "TAG")
            end -= 128;
        if (const std::string footer = end >= 32 ? read(end - 32, 32) : ""; footer.starts_with("APETAGEX")) {
            const std::uint64_t withHeader = UInt32At(footer, 12, false) + ((footer[23] & 0x80) ? 32 : 0);
            end -= std::min(end, withHeader);
        }
    } else if (head.find(ogg ? "OggS" : "fLaC") >= kSoundSearchBytes) {
        return false;
    } else if (!ogg) {
        return true;
    }
    const std::uint64_t tailStart = end - std::min(end, kSoundSearchBytes + kLongestMpegFrame);
    const std::string tail = read(tailStart, static_cast<size_t>(end - tailStart));
    return mpeg ? FindMpegFrames(tail, tail.size()) != std::string_view::npos : tail.find("OggS") != tail.npos;
}

std::string LowerExtension(const std::string& name)
{
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](char character) { return character >= 'A' && character <= 'Z' ? character - 'A' + 'a' : character; });
    return extension;
}

ReadBytes ReadFrom(const std::string& bytes)
{
    return [&bytes](std::uint64_t offset, size_t count) {
        return offset < bytes.size() ? bytes.substr(static_cast<size_t>(offset), count) : std::string();
    };
}

std::optional<SongDetails> ReadAudio(const TagLib::FileRef& file)
{
    // A file without a frame of sound has no length: it is no song.
    if (file.isNull() || !file.audioProperties() || file.audioProperties()->lengthInMilliseconds() <= 0)
        return std::nullopt;
    SongDetails details;
    if (const TagLib::Tag* tag = file.tag()) {
        details.title = std::u16string(Trimmed(Utf8ToUtf16(tag->title().to8Bit(true)), u" "));
        details.singer = std::u16string(Trimmed(Utf8ToUtf16(tag->artist().to8Bit(true)), u" "));
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
        const size_t member = ChooseMp3gMembers(archive.Names()).audio;
        const std::string sound = archive.Read(member, limits.audioBytes);
        if (!TagLibFindsSoundSoon(ReadFrom(sound), sound.size(), LowerExtension(archive.Names()[member])))
            return std::nullopt;
        TagLib::ByteVectorStream stream(TagLib::ByteVector(sound.data(), static_cast<unsigned int>(sound.size())));
        return ReadAudio(TagLib::FileRef(&stream, true, TagLib::AudioProperties::Fast));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

// Up to count bytes of the file from offset; fewer at its end or when reading fails.
std::string ReadPart(const CRegularFile& file, std::uint64_t offset, size_t count)
{
    if (!file.IsOpen() || offset >= file.Size())
        return {};
    std::string bytes(static_cast<size_t>(std::min<std::uint64_t>(count, file.Size() - offset)), '\0');
    return file.ReadAt(offset, bytes.data(), bytes.size()) ? bytes : std::string();
}

// An audio file through TagLib, once its sound has been found soon enough. A file no larger than
// what the search may read is read at once.
std::optional<SongDetails> ReadTaggedFile(const std::filesystem::path& path)
{
    const std::string extension = LowerExtension(path.filename().string());
    if (IsSearchedKind(extension)) {
        const CRegularFile file(path, std::numeric_limits<std::uint64_t>::max());
        const std::string whole
            = file.Size() <= 2 * kSoundSearchBytes ? ReadPart(file, 0, static_cast<size_t>(file.Size())) : "";
        const ReadBytes read = whole.size() == file.Size()
            ? ReadFrom(whole)
            : [&file](std::uint64_t offset, size_t count) { return ReadPart(file, offset, count); };
        if (!file.IsOpen() || !TagLibFindsSoundSoon(read, file.Size(), extension))
            return std::nullopt;
    }
    return ReadAudio(TagLib::FileRef(path.c_str(), true, TagLib::AudioProperties::Fast));
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
    if (IsUltraStarFileName(PathToUtf16(path)))
        return ReadUltraStar(path);
    std::optional<SongDetails> details;
    if (IsVideoFileName(PathToUtf16(path)))
        details = m_videoReader ? m_videoReader->Read(path) : std::nullopt;
    else if (HasExtension(path.filename().string(), kZipExtension))
        details = ReadArchive(path);
    else
        details = ReadTaggedFile(path);
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

std::optional<SongDetails> CSongFileReader::ReadUltraStar(const std::filesystem::path& path)
{
    const std::optional<UltraStarSong> song = ReadUltraStarFile(path, m_detector, m_codePage).song;
    if (!song)
        return std::nullopt;
    // The length of its sound where that can be read, else to its last note.
    const std::filesystem::path sound = UltraStarFile(path, song->audio);
    std::error_code error;
    std::optional<SongDetails> details
        = sound.empty() || !std::filesystem::is_regular_file(sound, error) ? std::nullopt : ReadTaggedFile(sound);
    if (!details) {
        details.emplace();
        details->lengthMilliseconds = static_cast<std::int32_t>(std::lround(song->LengthSeconds() * 1000));
    }
    details->title = song->title;
    details->singer = song->artist;
    details->cover = UltraStarFile(path, song->cover);
    return details;
}

std::optional<SongDetails> CSongFileReader::ReadMidi(const std::filesystem::path& path)
{
    if (!m_song->Load(path, m_detector))
        return std::nullopt;
    SongDetails details;
    const std::vector<std::u16string>& karaokeTitles = m_song->KaraokeTitles();
    const std::u16string title = std::u16string(Trimmed(m_song->Title(), u" "));
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
