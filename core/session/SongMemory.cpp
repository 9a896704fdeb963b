#include "core/session/SongMemory.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <type_traits>

namespace linlangok {
namespace {

constexpr size_t kMaximumEncodingNameLength = 40;
constexpr std::string_view kHeaderComment = "; 琳朗卡拉OK 歌曲记忆: 每首歌以 [文件大小:内容的 FNV-1a 64 散列] 标识\n";

// The number with two decimals, whatever the locale.
std::string Hundredths(double value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

std::string_view Trim(std::string_view text)
{
    return Trimmed(text, " \t\r");
}

bool IsEncodingName(std::string_view name)
{
    return !name.empty() && name.size() <= kMaximumEncodingNameLength
        && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
                   || c == '.' || c == ':';
           });
}

// "[size:hash]", the hash in 16 hexadecimal digits.
std::optional<SongIdentity> ParseHeader(std::string_view line)
{
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    const std::string_view inner = line.substr(1, line.size() - 2);
    const size_t colon = inner.find(':');
    if (colon == std::string_view::npos || inner.size() - colon - 1 != 16)
        return std::nullopt;
    const auto size = ParseNumber<std::uint64_t>(inner.substr(0, colon));
    const auto hash = ParseNumber<std::uint64_t>(inner.substr(colon + 1), 16);
    if (!size || !hash)
        return std::nullopt;
    return SongIdentity {*size, *hash};
}

// Sets the value of the key; false for an unknown key or a value out of range.
bool ParseValue(std::string_view key, std::string_view value, SongMemoryValues& values)
{
    if (key == "pitch") {
        const auto pitch = ParseNumber<std::int32_t>(value);
        if (!pitch || *pitch < -127 || *pitch > 127)
            return false;
        values.pitch = *pitch;
    } else if (key == "lyric") {
        if (value.empty() || value.size() > kMaximumRememberedPathBytes)
            return false;
        values.lyricPath = StoredTextToPath(Utf8ToUtf16(value));
    } else if (key == "encoding") {
        if (!IsEncodingName(value))
            return false;
        values.encoding = value;
    } else if (key == "lrc-offset-ms") {
        const auto offset = ParseNumber<std::int32_t>(value);
        if (!offset || *offset < -kMaximumLrcOffsetMilliseconds || *offset > kMaximumLrcOffsetMilliseconds)
            return false;
        values.lrcOffsetMilliseconds = *offset;
    } else if (key == "melody") {
        if (value != "0" && value != "1")
            return false;
        values.melody = value == "1";
    } else if (key == "vocal") {
        values.vocalLayout = ParseVocalLayout(value);
        if (!values.vocalLayout)
            return false;
    } else if (key == "loudness") {
        // "integrated-LUFS true-peak-dBTP"
        const size_t space = value.find(' ');
        if (space == std::string_view::npos)
            return false;
        const auto integrated = ParseNumber<double>(value.substr(0, space));
        const auto truePeak = ParseNumber<double>(value.substr(space + 1));
        if (!integrated || !truePeak || !IsPlausibleMeasure({*integrated, *truePeak}))
            return false;
        values.loudness = LoudnessMeasure {*integrated, *truePeak};
    } else if (key == "best-score") {
        const auto score = ParseNumber<std::int32_t>(value);
        if (!score || *score < 0 || *score > 100)
            return false;
        values.bestScore = *score;
    } else {
        return false;
    }
    return true;
}

// The values as the file holds them: a lyric path it cannot hold (too long, with a line break or
// with blanks at an end) and an encoding name that is none are dropped, numbers are clamped.
SongMemoryValues StorableValues(SongMemoryValues values)
{
    if (values.pitch)
        values.pitch = std::clamp(*values.pitch, -127, 127);
    const std::string lyric = Utf16ToUtf8(PathToStoredText(values.lyricPath));
    if (lyric.size() > kMaximumRememberedPathBytes || lyric.find_first_of("\r\n") != std::string::npos
        || Trim(lyric) != lyric)
        values.lyricPath.clear();
    if (!IsEncodingName(values.encoding))
        values.encoding.clear();
    values.lrcOffsetMilliseconds
        = std::clamp(values.lrcOffsetMilliseconds, -kMaximumLrcOffsetMilliseconds, kMaximumLrcOffsetMilliseconds);
    if (values.loudness && !IsPlausibleMeasure(*values.loudness))
        values.loudness.reset();
    if (values.bestScore)
        values.bestScore = std::clamp(*values.bestScore, 0, 100);
    return values;
}

} // namespace

CSongMemory::CSongMemory(std::filesystem::path file, IUserPrompts& prompts, IFileLocks& locks)
    : m_file(std::move(file))
    , m_prompts(prompts)
    , m_locks(locks)
{
}

SongMemoryValues CSongMemory::Recall(const SongIdentity& song)
{
    if (const std::u16string warning = Load(); !warning.empty())
        m_prompts.ShowError(CaptionWarning(), warning);
    const auto found
        = std::find_if(m_entries.begin(), m_entries.end(), [&song](const Entry& entry) { return entry.song == song; });
    return found == m_entries.end() ? SongMemoryValues {} : found->values;
}

bool CSongMemory::Remember(const SongIdentity& song, const SongMemoryValues& values)
{
    std::u16string warning;
    bool saved = false;
    {
        // No box while the lock is held: the other instance would wait for it.
        const auto folderLock = m_locks.Lock(m_file.parent_path());
        warning = Load();
        Apply({song, values});
        saved = Save();
    }
    if (!warning.empty())
        m_prompts.ShowError(CaptionWarning(), warning);
    std::erase_if(m_unsaved, [&song](const Entry& entry) { return entry.song == song; });
    if (saved) {
        m_unsaved.clear();
        return true;
    }
    m_unsaved.push_back({song, values});
    if (!m_saveFailureShown) {
        m_saveFailureShown = true;
        m_prompts.ShowError(
            CaptionWarning(), Formatted(Tr("CSongMemory", "无法保存歌曲记忆文件 %1"), {PathToUtf16(m_file)}));
    }
    return false;
}

void CSongMemory::Apply(const Entry& change)
{
    std::erase_if(m_entries, [&change](const Entry& entry) { return entry.song == change.song; });
    if (const SongMemoryValues storable = StorableValues(change.values); !storable.IsEmpty())
        m_entries.push_back({change.song, storable});
}

bool CSongMemory::Save()
{
    // The songs used longest ago are forgotten until the file fits its bound.
    std::vector<std::string> texts;
    texts.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        texts.push_back(Serialize(entry));
    size_t bytes = std::accumulate(texts.begin(), texts.end(), kHeaderComment.size(),
        [](size_t sum, const std::string& text) { return sum + text.size(); });
    size_t forgotten = 0;
    while (bytes > kMaximumSongMemoryBytes)
        bytes -= texts[forgotten++].size();
    m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(forgotten));
    std::string file(kHeaderComment);
    for (size_t index = forgotten; index < texts.size(); ++index)
        file += texts[index];
    return SaveFile(m_file, file);
}

std::u16string CSongMemory::Load()
{
    const std::u16string warning = Read();
    for (const Entry& change : m_unsaved)
        Apply(change);
    return warning;
}

std::u16string CSongMemory::Read()
{
    m_entries.clear();
    const FileContent content = ReadRegularFile(m_file, kMaximumSongMemoryBytes);
    if (content.result == EFileRead::Missing || (content.result == EFileRead::Done && Parse(content.bytes, m_entries))
        || m_warned)
        return {};
    m_warned = true;
    if (content.result == EFileRead::NotRegularFile || content.result == EFileRead::Unreadable)
        return Formatted(Tr("CSongMemory", "歌曲记忆文件 %1 无法读取 (%2), 已忽略。"),
            {PathToUtf16(m_file), FileReadErrorText(content.result)});
    std::filesystem::path backup = m_file;
    backup += ".bak";
    std::error_code error;
    if (std::filesystem::copy_file(m_file, backup, std::filesystem::copy_options::overwrite_existing, error)) {
        return Formatted(Tr("CSongMemory", "歌曲记忆文件 %1 中有无法读取的内容, 已忽略。\n原文件已另存为 %2"),
            {PathToUtf16(m_file), PathToUtf16(backup)});
    }
    return Formatted(Tr("CSongMemory", "歌曲记忆文件 %1 中有无法读取的内容, 已忽略。"), {PathToUtf16(m_file)});
}

bool CSongMemory::Parse(std::string_view text, std::vector<Entry>& entries)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool understood = true;
    Entry* current = nullptr;
    bool inBadSection = false;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (!IsValidUtf8(line)) {
            understood = false;
        } else if (line.front() == '[') {
            const auto song = ParseHeader(line);
            inBadSection = !song;
            understood &= !inBadSection;
            current = nullptr;
            if (song) {
                std::erase_if(entries, [&song](const Entry& entry) { return entry.song == *song; });
                current = &entries.emplace_back(Entry {*song, {}});
            }
        } else if (!inBadSection) {
            const auto entry = SplitKeyValueLine(line);
            understood &= current && entry && ParseValue(entry->key, entry->value, current->values);
        }
    }
    std::erase_if(entries, [](const Entry& entry) { return entry.values.IsEmpty(); });
    return understood;
}

std::string CSongMemory::Serialize(const Entry& entry)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hash(16, '0');
    for (int digit = 0; digit < 16; ++digit)
        hash[15 - digit] = kHex[(entry.song.hash >> (4 * digit)) & 0xF];
    const SongMemoryValues& values = entry.values;
    std::string text = "[" + std::to_string(entry.song.size) + ":" + hash + "]\n";
    if (values.pitch)
        text += "pitch=" + std::to_string(*values.pitch) + "\n";
    if (!values.lyricPath.empty())
        text += "lyric=" + Utf16ToUtf8(PathToStoredText(values.lyricPath)) + "\n";
    if (!values.encoding.empty())
        text += "encoding=" + values.encoding + "\n";
    if (values.lrcOffsetMilliseconds != 0)
        text += "lrc-offset-ms=" + std::to_string(values.lrcOffsetMilliseconds) + "\n";
    if (values.melody)
        text += std::string("melody=") + (*values.melody ? "1" : "0") + "\n";
    if (values.vocalLayout)
        text += "vocal=" + VocalLayoutText(*values.vocalLayout) + "\n";
    if (values.loudness)
        text += "loudness=" + Hundredths(values.loudness->integratedLufs) + " "
            + Hundredths(values.loudness->truePeakDbtp) + "\n";
    if (values.bestScore)
        text += "best-score=" + std::to_string(*values.bestScore) + "\n";
    return text;
}

} // namespace linlangok
