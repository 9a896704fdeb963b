#include "platform/tags/SongFileReader.h"

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "core/session/SongKind.h"
#include "midi/MidiSong.h"
#include "timebase/ManualTimerDriver.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cmath>

namespace linlangok {

// The MIDI reader's messages are for a song the user opens; a scan only counts the failures.
class CSongFileReader::CQuietPrompts final : public IUserPrompts {
public:
    EPromptAnswer ShowMessage(const MessageRequest&) override { return EPromptAnswer::Ok; }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return std::nullopt; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return std::nullopt; }
};

CSongFileReader::CSongFileReader(
    const ICodePage& codePage, const ITextEncodingDetector& detector, ISongReader* videoReader)
    : m_detector(detector)
    , m_videoReader(videoReader)
    , m_prompts(std::make_unique<CQuietPrompts>())
    , m_timerDriver(std::make_unique<CManualTimerDriver>())
    , m_song(std::make_unique<CMidiSong>(*m_prompts, codePage, *m_timerDriver))
    , m_untitled(m_song->Title())
{
}

CSongFileReader::~CSongFileReader() = default;

std::optional<SongDetails> CSongFileReader::Read(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    if (IsVideoFileName(path.u16string()))
        return m_videoReader ? m_videoReader->Read(path) : std::nullopt;
    return DetectSongKind(path.u16string()) == ESongKind::Midi ? ReadMidi(path) : ReadAudio(path);
}

std::optional<SongDetails> CSongFileReader::ReadAudio(const std::filesystem::path& path)
{
    const TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
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

std::optional<SongDetails> CSongFileReader::ReadMidi(const std::filesystem::path& path)
{
    if (!m_song->Load(path, m_detector))
        return std::nullopt;
    SongDetails details;
    const std::u16string title = TrimBoth(m_song->Title(), u" ");
    if (title != m_untitled)
        details.title = title;
    details.lengthMilliseconds = static_cast<int32_t>(std::lround(m_song->LengthSeconds() * 1000));
    m_song->Clear();
    return details;
}

} // namespace linlangok
