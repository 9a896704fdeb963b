#include "core/lyrics/UltraStarSong.h"

#include "common/FilePath.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";
// Times and the gap beyond this (in their own unit) are no times a song has.
constexpr double kMaxHeaderTime = 1e9;
constexpr int kMinPitch = -60; // MIDI 0
constexpr int kMaxPitch = 67; // MIDI 127
constexpr double kSecondsPerBeatAtBpm1 = 60.0 / 4;

bool IsBlank(char character)
{
    return character == ' ' || character == '\t';
}

std::u16string Widened(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string UpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& character : upper) {
        if (character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
    }
    return upper;
}

// A decimal with "." or "," before its fraction, finite and within ±limit.
std::optional<double> ParseDecimal(std::string_view text, double limit)
{
    std::string normal(text);
    std::replace(normal.begin(), normal.end(), ',', '.');
    const std::optional<double> value = ParseNumber<double>(normal);
    if (!value || !std::isfinite(*value) || std::abs(*value) > limit)
        return std::nullopt;
    return value;
}

// Splits off the next field of blank-separated text, the blanks before it skipped.
std::string_view NextField(std::string_view text, std::size_t& position)
{
    while (position < text.size() && IsBlank(text[position]))
        ++position;
    const std::size_t start = position;
    while (position < text.size() && !IsBlank(text[position]))
        ++position;
    return text.substr(start, position - start);
}

std::optional<std::int64_t> ParseBeat(std::string_view field)
{
    const std::optional<std::int64_t> beat = ParseNumber<std::int64_t>(field);
    if (!beat || *beat < 0 || *beat > kMaxUltraStarBeat)
        return std::nullopt;
    return beat;
}

ENoteKind KindOf(char type)
{
    switch (type) {
    case ':':
        return ENoteKind::Normal;
    case '*':
        return ENoteKind::Golden;
    case 'R':
        return ENoteKind::Rap;
    case 'G':
        return ENoteKind::GoldenRap;
    default: // "F", and note types of no meaning
        return ENoteKind::Freestyle;
    }
}

// Whether a #VERSION value is "1.MINOR.PATCH", each a run of digits.
bool IsVersionOne(std::string_view version)
{
    const auto isNumber = [](std::string_view digits) {
        return !digits.empty()
            && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!version.starts_with("1."))
        return false;
    const std::string_view rest = version.substr(2);
    const std::size_t period = rest.find('.');
    return period != std::string_view::npos && isNumber(rest.substr(0, period)) && isNumber(rest.substr(period + 1));
}

// Calls onLine with each line (its number from 1, its bytes without the line end); a line ends
// at CR, LF or CR LF.
template <typename OnLine> void ForEachLine(std::string_view bytes, OnLine onLine)
{
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
        if (!onLine(++lineNumber, bytes.substr(start, end - start)))
            return;
        start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

struct TempoChange {
    std::int64_t beat = 0;
    double bpm = 0;
    double seconds = 0; // from beat 0 to this change
};

struct PendingNote {
    UltraStarNote note;
    std::string_view textBytes;
    std::size_t lineNumber = 0;
    std::size_t lineId = 0; // counts the voice's line breaks before the note
};

class CUltraStarReader {
public:
    CUltraStarReader(const ITextEncodingDetector& detector, const ICodePage& legacy)
        : m_detector(detector)
        , m_legacy(legacy)
    {
    }

    UltraStarRead Read(std::string_view bytes);

private:
    void Warn(std::u16string text);
    // The pattern's %1 is the line number, %2 the detail.
    void WarnAtLine(std::size_t lineNumber, std::u16string_view pattern, std::u16string_view detail = {});
    bool ReadLine(std::size_t lineNumber, std::string_view line);
    void ReadHeader(std::size_t lineNumber, std::string_view line);
    bool StartBody();
    void ReadBodyLine(std::size_t lineNumber, std::string_view line);
    void ReadNote(std::size_t lineNumber, std::string_view line);
    void ReadTempoChange(std::size_t lineNumber, std::string_view line);
    void ReadLineBreak(std::size_t lineNumber, std::string_view line);
    std::string_view RawHeader(std::string_view key) const;
    void ChooseEncoding();
    std::u16string Decoded(std::string_view bytes) const;
    void TakeHeaders();
    std::optional<double> TimeHeader(std::string_view key);
    void PlaceNotes();
    double BeatSeconds(std::int64_t beat) const;

    const ITextEncodingDetector& m_detector;
    const ICodePage& m_legacy;
    UltraStarSong m_song;
    std::u16string m_error;
    bool m_hadBom = false;
    bool m_inBody = false;
    bool m_ended = false;
    bool m_tooManyHeaders = false;
    bool m_tooManyNotes = false;
    int m_voice = 0; // -1 in a voice beyond P2, whose lines are skipped
    std::int64_t m_relativeBeat[2] = {};
    std::size_t m_lineId[2] = {};
    std::vector<std::pair<std::string, std::string_view>> m_rawHeaders;
    std::vector<PendingNote> m_notes;
    std::vector<TempoChange> m_tempo;
    const ICodePage* m_codePage = nullptr; // null: UTF-8
};

void CUltraStarReader::Warn(std::u16string text)
{
    if (m_song.warnings.size() < kMaxUltraStarWarnings)
        m_song.warnings.push_back(std::move(text));
    else if (m_song.warnings.size() == kMaxUltraStarWarnings)
        m_song.warnings.push_back(Tr("UltraStarSong", "警告太多，其余从略"));
}

void CUltraStarReader::WarnAtLine(std::size_t lineNumber, std::u16string_view pattern, std::u16string_view detail)
{
    Warn(Formatted(pattern, {Widened(std::to_string(lineNumber)), detail}));
}

bool CUltraStarReader::ReadLine(std::size_t lineNumber, std::string_view line)
{
    if (line.size() > kMaxUltraStarLineBytes) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行过长，已跳过"));
        return true;
    }
    const std::string_view trimmed = Trimmed(line, kBlanks);
    if (trimmed.empty())
        return true;
    if (!m_inBody && trimmed.front() == '#') {
        ReadHeader(lineNumber, trimmed.substr(1));
        return true;
    }
    if (!m_inBody && !StartBody())
        return false;
    ReadBodyLine(lineNumber, line.substr(line.find_first_not_of(kBlanks)));
    return !m_ended;
}

void CUltraStarReader::ReadHeader(std::size_t lineNumber, std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行不是“#键:值”的标题，已跳过"));
        return;
    }
    const std::string_view value = Trimmed(line.substr(colon + 1), kBlanks);
    if (value.empty())
        return;
    if (m_rawHeaders.size() < kMaxUltraStarHeaders) {
        m_rawHeaders.emplace_back(UpperAscii(Trimmed(line.substr(0, colon), kBlanks)), value);
    } else if (!m_tooManyHeaders) {
        m_tooManyHeaders = true;
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行起的标题太多，已跳过"));
    }
}

// The version and the mode are known once the headers are read; false for a version not read.
bool CUltraStarReader::StartBody()
{
    m_inBody = true;
    const std::string_view version = RawHeader("VERSION");
    if (!version.empty() && !IsVersionOne(version)) {
        m_error = Formatted(Tr("UltraStarSong", "不支持的 UltraStar 版本：%1"), {Utf8ToUtf16(version)});
        return false;
    }
    m_song.version = version;
    for (const std::string_view legacyOnly : {"ENCODING", "RELATIVE"}) {
        if (!version.empty() && !RawHeader(legacyOnly).empty())
            Warn(Formatted(Tr("UltraStarSong", "#%1 只用于无版本的歌曲，已忽略"), {Widened(legacyOnly)}));
    }
    m_song.relative = version.empty() && UpperAscii(RawHeader("RELATIVE")) == "YES";
    return true;
}

void CUltraStarReader::ReadBodyLine(std::size_t lineNumber, std::string_view line)
{
    const char type = line.front();
    const std::string_view argument = Trimmed(line.substr(1), kBlanks);
    if (type == 'E' && argument.empty()) {
        m_ended = true;
    } else if (type == 'P' && !argument.empty() && argument.find_first_not_of("0123456789") == std::string_view::npos) {
        m_voice = argument == "1" ? 0 : argument == "2" ? 1 : -1;
        if (m_voice < 0)
            WarnAtLine(
                lineNumber, Tr("UltraStarSong", "第 %1 行的声部 P%2 不是 P1 或 P2，其音符已跳过"), Widened(argument));
    } else if (m_voice < 0) {
        return;
    } else if (type == '-') {
        ReadLineBreak(lineNumber, argument);
    } else if (type == 'B' && m_song.version.empty()) {
        ReadTempoChange(lineNumber, argument);
    } else if (m_notes.size() < kMaxUltraStarNotes) {
        ReadNote(lineNumber, line);
    } else if (!m_tooManyNotes) {
        m_tooManyNotes = true;
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行起的音符太多，已跳过"));
    }
}

void CUltraStarReader::ReadNote(std::size_t lineNumber, std::string_view line)
{
    std::size_t position = 1;
    const bool separated = line.size() > 1 && IsBlank(line[1]);
    const std::optional<std::int64_t> start = ParseBeat(NextField(line, position));
    const std::optional<std::int64_t> length = ParseBeat(NextField(line, position));
    const std::optional<int> pitch = ParseNumber<int>(NextField(line, position));
    if (!separated || !start || !length || !pitch) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行无法识别，已跳过"));
        return;
    }
    const std::int64_t beat = m_relativeBeat[m_voice] + *start;
    if (beat > kMaxUltraStarBeat || *pitch < kMinPitch || *pitch > kMaxPitch) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行的音符超出范围，已跳过"));
        return;
    }
    // One blank separates the pitch from the syllable; any further blanks belong to it.
    const std::string_view text = line.substr(std::min(line.size(), position + 1));
    UltraStarNote note {KindOf(line.front()), m_voice, beat, *length, *pitch, {}, 0, 0};
    m_notes.push_back({std::move(note), text, lineNumber, m_lineId[m_voice]});
}

void CUltraStarReader::ReadTempoChange(std::size_t lineNumber, std::string_view line)
{
    std::size_t position = 0;
    const std::optional<std::int64_t> beat = ParseBeat(NextField(line, position));
    const std::optional<double> bpm = ParseDecimal(NextField(line, position), kMaxUltraStarBpm);
    if (!beat || !bpm || *bpm < kMinUltraStarBpm || m_relativeBeat[m_voice] + *beat > kMaxUltraStarBeat) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行的变速无效，已跳过"));
        return;
    }
    m_tempo.push_back({m_relativeBeat[m_voice] + *beat, *bpm, 0});
}

void CUltraStarReader::ReadLineBreak(std::size_t lineNumber, std::string_view line)
{
    ++m_lineId[m_voice];
    if (!m_song.relative)
        return;
    std::size_t position = 0;
    NextField(line, position);
    const std::optional<std::int64_t> offset = ParseBeat(NextField(line, position));
    if (!offset || m_relativeBeat[m_voice] + *offset > kMaxUltraStarBeat) {
        WarnAtLine(lineNumber, Tr("UltraStarSong", "第 %1 行的相对偏移无效，按 0 计"));
        return;
    }
    m_relativeBeat[m_voice] += *offset;
}

std::string_view CUltraStarReader::RawHeader(std::string_view key) const
{
    const auto found = std::find_if(
        m_rawHeaders.begin(), m_rawHeaders.end(), [&](const auto& header) { return header.first == key; });
    return found == m_rawHeaders.end() ? std::string_view() : found->second;
}

void CUltraStarReader::ChooseEncoding()
{
    std::string sample;
    CUtf8Detector utf8;
    for (const auto& header : m_rawHeaders) {
        AppendToEncodingSample(sample, header.second);
        utf8.Add(header.second);
    }
    for (const PendingNote& note : m_notes) {
        AppendToEncodingSample(sample, note.textBytes);
        utf8.Add(note.textBytes);
    }
    const std::string_view named = RawHeader("ENCODING");
    const ICodePage* found = m_song.version.empty() ? m_detector.Named(named) : nullptr;
    if (m_song.version.empty() && !named.empty() && !found)
        Warn(Formatted(Tr("UltraStarSong", "不认识的编码“%1”，已自动选择"), {Utf8ToUtf16(named)}));
    if (const ICodePage* chosen = m_detector.Chosen())
        m_codePage = chosen;
    else if (!m_song.version.empty() || (!found && m_hadBom))
        m_codePage = nullptr;
    else if (found)
        m_codePage = found;
    else if (const ICodePage* detected = m_detector.Detect(sample))
        m_codePage = detected;
    else
        m_codePage = utf8.IsUtf8() ? nullptr : &m_legacy;
    m_song.encoding = m_codePage ? m_codePage->Name() : "UTF-8";
}

std::u16string CUltraStarReader::Decoded(std::string_view bytes) const
{
    return m_codePage ? m_codePage->ToWide(bytes) : Utf8ToUtf16(bytes);
}

std::optional<double> CUltraStarReader::TimeHeader(std::string_view key)
{
    const std::string_view value = RawHeader(key);
    if (value.empty())
        return std::nullopt;
    const std::optional<double> time = ParseDecimal(value, kMaxHeaderTime);
    if (!time)
        Warn(Formatted(Tr("UltraStarSong", "#%1 的值无效，已忽略"), {Widened(key)}));
    return time;
}

void CUltraStarReader::TakeHeaders()
{
    for (const auto& [key, value] : m_rawHeaders)
        m_song.headers.emplace_back(key, Decoded(value));
    const auto text = [&](std::string_view key, std::string_view fallback = {}) {
        const std::string_view value = RawHeader(key);
        return Decoded(value.empty() && !fallback.empty() ? RawHeader(fallback) : value);
    };
    UltraStarSong& song = m_song;
    song.title = text("TITLE");
    song.artist = text("ARTIST");
    song.language = text("LANGUAGE");
    song.genre = text("GENRE");
    song.year = text("YEAR");
    song.edition = text("EDITION");
    song.singers[0] = text("P1", "DUETSINGERP1");
    song.singers[1] = text("P2", "DUETSINGERP2");
    song.audio = text("AUDIO", "MP3");
    song.video = text("VIDEO");
    song.cover = text("COVER");
    song.background = text("BACKGROUND");
    song.vocals = text("VOCALS");
    song.instrumental = text("INSTRUMENTAL");
    song.gapMs = TimeHeader("GAP").value_or(0);
    song.startSeconds = TimeHeader("START");
    song.endMs = TimeHeader("END");
    song.videoGapSeconds = TimeHeader("VIDEOGAP");
    song.previewStartSeconds = TimeHeader("PREVIEWSTART");
}

double CUltraStarReader::BeatSeconds(std::int64_t beat) const
{
    const auto after = std::upper_bound(m_tempo.begin(), m_tempo.end(), beat,
        [](std::int64_t value, const TempoChange& change) { return value < change.beat; });
    const TempoChange& change = *(after - 1);
    return m_song.gapMs / 1000 + change.seconds
        + static_cast<double>(beat - change.beat) * kSecondsPerBeatAtBpm1 / change.bpm;
}

// Sorts each voice's notes by beat, times them over the tempo changes, warns of overlaps and
// makes the lines: runs of a voice's notes between the same line breaks.
void CUltraStarReader::PlaceNotes()
{
    m_tempo.insert(m_tempo.begin(), {0, m_song.bpm, 0});
    std::stable_sort(m_tempo.begin(), m_tempo.end(),
        [](const TempoChange& left, const TempoChange& right) { return left.beat < right.beat; });
    // Of changes at one beat the last one read counts.
    const auto last = std::unique(m_tempo.rbegin(), m_tempo.rend(),
        [](const TempoChange& left, const TempoChange& right) { return left.beat == right.beat; });
    m_tempo.erase(m_tempo.begin(), last.base());
    for (std::size_t i = 1; i < m_tempo.size(); ++i) {
        const TempoChange& previous = m_tempo[i - 1];
        m_tempo[i].seconds = previous.seconds
            + static_cast<double>(m_tempo[i].beat - previous.beat) * kSecondsPerBeatAtBpm1 / previous.bpm;
    }

    std::stable_sort(m_notes.begin(), m_notes.end(), [](const PendingNote& left, const PendingNote& right) {
        return left.note.voice != right.note.voice ? left.note.voice < right.note.voice
                                                   : left.note.beat < right.note.beat;
    });
    std::int64_t voiceEnd = 0;
    for (std::size_t i = 0; i < m_notes.size(); ++i) {
        PendingNote& pending = m_notes[i];
        UltraStarNote& note = pending.note;
        note.text = Decoded(pending.textBytes);
        note.start = BeatSeconds(note.beat);
        note.end = BeatSeconds(note.beat + note.length);
        const bool newVoice = i == 0 || m_notes[i - 1].note.voice != note.voice;
        if (!newVoice && note.beat < voiceEnd)
            WarnAtLine(pending.lineNumber, Tr("UltraStarSong", "第 %1 行的音符与前面的音符重叠"));
        voiceEnd = newVoice ? note.beat + note.length : std::max(voiceEnd, note.beat + note.length);
        if (newVoice || m_notes[i - 1].lineId != pending.lineId)
            m_song.lines.push_back({note.voice, i, 0, note.start, note.end});
        UltraStarLine& line = m_song.lines.back();
        ++line.noteCount;
        line.end = std::max(line.end, note.end);
        m_song.notes.push_back(std::move(note));
    }
    if (!m_song.notes.empty() && m_song.notes.back().voice == 1)
        m_song.voices = 2;
}

UltraStarRead CUltraStarReader::Read(std::string_view bytes)
{
    if (bytes.size() > kMaxUltraStarFileBytes)
        return {std::nullopt, Tr("UltraStarSong", "歌曲文件过大")};
    m_hadBom = bytes.starts_with(kUtf8Bom);
    if (m_hadBom)
        bytes.remove_prefix(kUtf8Bom.size());
    ForEachLine(bytes, [&](std::size_t lineNumber, std::string_view line) { return ReadLine(lineNumber, line); });
    if (!m_error.empty())
        return {std::nullopt, m_error};
    if (m_rawHeaders.empty())
        return {std::nullopt, Tr("UltraStarSong", "不是 UltraStar 歌曲文件")};
    if (!m_inBody && !StartBody())
        return {std::nullopt, m_error};
    const std::optional<double> bpm = ParseDecimal(RawHeader("BPM"), kMaxUltraStarBpm);
    if (!bpm || *bpm < kMinUltraStarBpm)
        return {std::nullopt, Tr("UltraStarSong", "歌曲没有有效的 BPM")};
    if (m_notes.empty())
        return {std::nullopt, Tr("UltraStarSong", "歌曲中没有音符")};
    m_song.bpm = *bpm;
    ChooseEncoding();
    TakeHeaders();
    PlaceNotes();
    return {std::move(m_song), {}};
}

} // namespace

double UltraStarSong::LengthSeconds() const
{
    if (endMs)
        return *endMs / 1000;
    double end = 0;
    for (const UltraStarNote& note : notes)
        end = std::max(end, note.end);
    return end;
}

UltraStarRead ReadUltraStarSong(std::string_view bytes, const ITextEncodingDetector& detector, const ICodePage& legacy)
{
    return CUltraStarReader(detector, legacy).Read(bytes);
}

UltraStarRead ReadUltraStarFile(
    const std::filesystem::path& path, const ITextEncodingDetector& detector, const ICodePage& legacy)
{
    const FileContent content = ReadRegularFile(path, kMaxUltraStarFileBytes);
    if (content.result == EFileRead::TooLarge)
        return {std::nullopt, Tr("UltraStarSong", "歌曲文件过大")};
    if (content.result != EFileRead::Done)
        return {std::nullopt, std::u16string(FileReadErrorText(content.result))};
    return ReadUltraStarSong(content.bytes, detector, legacy);
}

std::filesystem::path UltraStarFile(const std::filesystem::path& songFile, const std::u16string& name)
{
    const std::filesystem::path file = Utf16ToPath(name);
    if (name.empty() || file.is_absolute())
        return {};
    return songFile.parent_path() / file;
}

std::vector<LyricLine> UltraStarLyricLines(const UltraStarSong& song, int lineHeight)
{
    const auto milliseconds = [](double seconds) { return std::max<std::int64_t>(0, std::llround(seconds * 1000)); };
    std::vector<LyricLine> lines;
    for (const UltraStarLine& line : song.lines) {
        LyricLine lyric;
        lyric.timeMs = milliseconds(line.start);
        lyric.time = static_cast<std::int32_t>(lyric.timeMs / 1000);
        lyric.voice = line.voice;
        for (std::size_t i = line.firstNote; i < line.firstNote + line.noteCount; ++i) {
            const UltraStarNote& note = song.notes[i];
            const bool golden = note.kind == ENoteKind::Golden || note.kind == ENoteKind::GoldenRap;
            lyric.text += note.text;
            lyric.words.push_back({milliseconds(note.start), note.text, golden});
        }
        lyric.words.push_back({milliseconds(line.end), {}});
        lines.push_back(std::move(lyric));
    }
    // The lines come voice by voice.
    std::stable_sort(lines.begin(), lines.end(),
        [](const LyricLine& first, const LyricLine& second) { return first.timeMs < second.timeMs; });
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].y = static_cast<std::int32_t>(i) * lineHeight;
    return lines;
}

ReferenceMelody UltraStarMelody(const UltraStarSong& song, int voice)
{
    std::vector<MelodyNote> notes;
    for (const UltraStarNote& note : song.notes) {
        if (note.voice == voice)
            notes.push_back({note.start, note.end, 60.0 + note.pitch, note.kind});
    }
    std::vector<double> lineStarts;
    for (const UltraStarLine& line : song.lines) {
        if (line.voice == voice)
            lineStarts.push_back(line.start);
    }
    ReferenceMelody melody {EMelodySource::UltraStar, MonophonicNotes(std::move(notes)), {}};
    melody.lines = MelodyLines(melody.notes, std::move(lineStarts));
    return melody;
}

} // namespace linlangok
