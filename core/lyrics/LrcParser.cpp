#include "core/lyrics/LrcParser.h"

#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <limits>
#include <sstream>

namespace linlangok {
namespace {

constexpr std::size_t kMaxMinuteFieldLength = 9;
constexpr std::size_t kSecondFieldLength = 2;
constexpr std::size_t kFractionDigits = 3; // milliseconds
constexpr std::int64_t kMaxOffsetMs = 366LL * 24 * 60 * 60 * 1000;
// Longer than any word tag ("999999999:59.999"), so looking for its ">" stays short.
constexpr std::size_t kMaxWordTagLength = 24;
constexpr std::int64_t kLineTime = -1; // a word before the first word tag starts with its line

enum class ELrcEncoding { CodePage, Utf8, Utf16Le, Utf16Be };

struct LrcFormat {
    ELrcEncoding encoding = ELrcEncoding::CodePage;
    std::streamoff textStart = 0; // after the byte-order mark
    const ICodePage* codePage = nullptr; // for ELrcEncoding::CodePage
};

bool IsBlank(char16_t character)
{
    return character == u' ' || (character >= u'\t' && character <= u'\r');
}

bool IsDigit(char16_t character)
{
    return character >= u'0' && character <= u'9';
}

// atoi on a field: leading blanks, an optional sign, then decimal digits up to the first other
// character; no digits give 0. The value stops growing at limit; without one the caller bounds
// the field's length, so that it cannot overflow.
std::int64_t LeadingInteger(std::u16string_view field, std::int64_t limit = std::numeric_limits<std::int64_t>::max())
{
    std::size_t i = 0;
    while (i < field.size() && IsBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == u'+' || field[i] == u'-'))
        negative = field[i++] == u'-';
    std::int64_t value = 0;
    for (; i < field.size() && IsDigit(field[i]); ++i)
        value = std::min(limit, value * 10 + (field[i] - u'0'));
    return negative ? -value : value;
}

std::size_t LeadingDigits(std::u16string_view text)
{
    std::size_t count = 0;
    while (count < text.size() && IsDigit(text[count]))
        ++count;
    return count;
}

// Milliseconds of the digits after a decimal point: "5" 500, "34" 340, "3456" 345.
std::int64_t FractionMilliseconds(std::u16string_view digits)
{
    std::int64_t value = 0;
    for (std::size_t i = 0; i < kFractionDigits; ++i)
        value = value * 10 + (i < digits.size() ? digits[i] - u'0' : 0);
    return value;
}

// A word tag's text ("mm:ss.xx" between "<" and ">") in milliseconds, or -1 when it is not of
// that form.
std::int64_t WordTagMilliseconds(std::u16string_view tag)
{
    const std::size_t minutes = LeadingDigits(tag);
    if (minutes == 0 || minutes > kMaxMinuteFieldLength || minutes == tag.size() || tag[minutes] != u':')
        return -1;
    const std::u16string_view after = tag.substr(minutes + 1);
    const std::size_t seconds = LeadingDigits(after);
    if (seconds == 0 || seconds > kSecondFieldLength)
        return -1;
    std::int64_t fraction = 0;
    if (seconds < after.size()) {
        const std::u16string_view digits = after.substr(seconds + 1);
        if ((after[seconds] != u'.' && after[seconds] != u':') || digits.empty()
            || LeadingDigits(digits) != digits.size())
            return -1;
        fraction = FractionMilliseconds(digits);
    }
    return (LeadingInteger(tag.substr(0, minutes)) * 60 + LeadingInteger(after.substr(0, seconds))) * 1000 + fraction;
}

// Moves a time by the offset (a positive one makes it earlier), never below 0.
std::int64_t ShiftedMilliseconds(std::int64_t timeMs, std::int64_t offsetMs)
{
    return std::max<std::int64_t>(0, timeMs - offsetMs);
}

void ApplyOffset(LrcLyrics& lyrics)
{
    if (lyrics.offsetMs == 0)
        return;
    for (LyricLine& line : lyrics.lines) {
        line.timeMs = ShiftedMilliseconds(line.timeMs, lyrics.offsetMs);
        line.time = static_cast<std::int32_t>(
            std::min<std::int64_t>(line.timeMs / 1000, std::numeric_limits<std::int32_t>::max()));
        for (LrcWord& word : line.words)
            word.timeMs = ShiftedMilliseconds(word.timeMs, lyrics.offsetMs);
    }
}

int UnitBytes(ELrcEncoding encoding)
{
    return encoding == ELrcEncoding::Utf16Le || encoding == ELrcEncoding::Utf16Be ? 2 : 1;
}

char16_t UnitAt(std::string_view bytes, std::size_t offset, ELrcEncoding encoding)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[offset + i]); };
    switch (encoding) {
    case ELrcEncoding::Utf16Le:
        return static_cast<char16_t>(byte(0) | byte(1) << 8);
    case ELrcEncoding::Utf16Be:
        return static_cast<char16_t>(byte(0) << 8 | byte(1));
    default:
        return byte(0);
    }
}

// Calls onLine with the bytes of each text line from the stream's position, without its line
// feed and without a carriage return right before that line feed (any other carriage return is
// text, also one that ends the stream), and with everything from its first zero character on
// removed. Stops at the end of the stream or at a line longer than kMaxLrcLineBytes (which is
// not passed on), so it never holds more than one short line.
template <typename OnLine> void ForEachTextLine(std::istream& in, ELrcEncoding encoding, OnLine onLine)
{
    const auto unitBytes = static_cast<std::size_t>(UnitBytes(encoding));
    std::streambuf& buffer = *in.rdbuf();
    std::string line;
    const auto finishLine = [&](bool endedByLineFeed) {
        const std::size_t units = line.size() / unitBytes;
        if (endedByLineFeed && units > 0 && UnitAt(line, (units - 1) * unitBytes, encoding) == u'\r')
            line.resize((units - 1) * unitBytes);
        if (line.size() > kMaxLrcLineBytes)
            return false;
        for (std::size_t offset = 0; offset + unitBytes <= line.size(); offset += unitBytes) {
            if (UnitAt(line, offset, encoding) == 0) {
                line.resize(offset);
                break;
            }
        }
        onLine(std::string_view(line));
        line.clear();
        return true;
    };
    char unit[2];
    const auto readUnit = [&]() {
        for (std::size_t i = 0; i < unitBytes; ++i) {
            const int byte = buffer.sbumpc();
            if (byte == std::char_traits<char>::eof())
                return false;
            unit[i] = static_cast<char>(byte);
        }
        return true;
    };
    while (readUnit()) {
        if (UnitAt(std::string_view(unit, unitBytes), 0, encoding) == u'\n') {
            if (!finishLine(true))
                return;
            continue;
        }
        line.append(unit, unitBytes);
        // One unit more than the limit may still be a carriage return before the line feed.
        if (line.size() > kMaxLrcLineBytes + unitBytes)
            return;
    }
    if (!line.empty())
        finishLine(false);
}

LrcFormat DetectFormat(std::istream& in, const ICodePage& legacyCodePage, const ITextEncodingDetector& detector)
{
    char bom[3] = {};
    const auto read = in.rdbuf()->sgetn(bom, 3);
    const auto starts = [&](std::string_view mark) {
        return read >= static_cast<std::streamsize>(mark.size()) && std::string_view(bom, mark.size()) == mark;
    };
    if (starts("\xEF\xBB\xBF"))
        return {ELrcEncoding::Utf8, 3};
    if (starts("\xFF\xFE"))
        return {ELrcEncoding::Utf16Le, 2};
    if (starts("\xFE\xFF"))
        return {ELrcEncoding::Utf16Be, 2};

    in.rdbuf()->pubseekpos(0, std::ios::in);
    CUtf8Detector utf8;
    std::string sample;
    ForEachTextLine(in, ELrcEncoding::CodePage, [&](std::string_view line) {
        utf8.Add(line);
        AppendToEncodingSample(sample, line);
    });
    if (const ICodePage* detected = detector.Detect(sample))
        return {ELrcEncoding::CodePage, 0, detected};
    if (utf8.IsUtf8())
        return {ELrcEncoding::Utf8, 0};
    return {ELrcEncoding::CodePage, 0, &legacyCodePage};
}

std::u16string DecodeLine(std::string_view line, const LrcFormat& format)
{
    switch (format.encoding) {
    case ELrcEncoding::CodePage:
        return format.codePage->ToWide(line);
    case ELrcEncoding::Utf8:
        return Utf8ToUtf16(line);
    case ELrcEncoding::Utf16Le:
    case ELrcEncoding::Utf16Be:
        break;
    }
    std::u16string text(line.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = UnitAt(line, 2 * i, format.encoding);
    return text;
}

void SortAndPlace(std::vector<LyricLine>& lines, int lineHeight)
{
    std::stable_sort(
        lines.begin(), lines.end(), [](const LyricLine& a, const LyricLine& b) { return a.time < b.time; });
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].y = static_cast<std::int32_t>(i) * lineHeight;
}

// ParseTimeTag in milliseconds, with the fraction of a second; -1 for no time or a negative one.
std::int64_t TimeTagMilliseconds(std::u16string_view tag, std::int32_t seconds)
{
    if (seconds < 0)
        return -1;
    const std::u16string_view after = tag.substr(tag.find(u':') + 1);
    const std::size_t digits = std::min(LeadingDigits(after), kSecondFieldLength);
    std::int64_t fraction = 0;
    if (digits > 0 && digits < after.size() && (after[digits] == u'.' || after[digits] == u':')) {
        const std::u16string_view rest = after.substr(digits + 1);
        fraction = FractionMilliseconds(rest.substr(0, LeadingDigits(rest)));
    }
    return std::int64_t {seconds} * 1000 + fraction;
}

// The text between "[NAME:" (the name in any case) and the next "]" when the line starts with that
// header tag; nothing for any other line.
std::optional<std::u16string_view> HeaderTagValue(std::u16string_view line, std::u16string_view name)
{
    if (line.size() < name.size() + 2 || line[0] != u'[' || line[name.size() + 1] != u':')
        return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t character = line[i + 1];
        const char16_t lower = character >= u'A' && character <= u'Z' ? character - u'A' + u'a' : character;
        if (lower != name[i])
            return std::nullopt;
    }
    const std::u16string_view rest = line.substr(name.size() + 2);
    const std::size_t close = rest.find(u']');
    if (close == std::u16string_view::npos)
        return std::nullopt;
    return rest.substr(0, close);
}

// The milliseconds of an [offset:±ms] tag that starts the line; nothing for any other line.
std::optional<std::int64_t> OffsetTagMilliseconds(std::u16string_view line)
{
    const std::optional<std::u16string_view> value = HeaderTagValue(line, u"offset");
    if (!value)
        return std::nullopt;
    return LeadingInteger(*value, kMaxOffsetMs);
}

// Keeps the first non-empty value of a [NAME:...] header tag.
void TakeHeaderText(std::u16string_view line, std::u16string_view name, std::u16string& text)
{
    if (!text.empty())
        return;
    if (const std::optional<std::u16string_view> value = HeaderTagValue(line, name))
        text = std::u16string(Trimmed(*value, u" \t\u3000"));
}

// The words of a line's text; the text before the first word tag, when there is any, is a word at
// kLineTime. Nothing without word tags.
std::vector<LrcWord> ParseLrcWords(std::u16string_view text)
{
    std::vector<LrcWord> words;
    LrcWord word {kLineTime, {}};
    bool tagged = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'<') {
            const std::u16string_view candidate = text.substr(i + 1, kMaxWordTagLength + 1);
            const std::size_t close = candidate.find(u'>');
            const std::int64_t timeMs
                = close == std::u16string_view::npos ? -1 : WordTagMilliseconds(candidate.substr(0, close));
            if (timeMs >= 0) {
                if (tagged || !word.text.empty())
                    words.push_back(std::move(word));
                word = {timeMs, {}};
                tagged = true;
                i += close + 1;
                continue;
            }
        }
        word.text += text[i];
    }
    if (!tagged)
        return {};
    words.push_back(std::move(word));
    return words;
}

} // namespace

std::int32_t ParseTimeTag(std::u16string_view tag)
{
    const std::size_t colon = tag.find(u':');
    if (colon == std::u16string_view::npos || colon > kMaxMinuteFieldLength)
        return -1;
    const std::u16string_view after = tag.substr(colon + 1);
    if (after.empty())
        return -1;
    const std::int64_t seconds
        = LeadingInteger(tag.substr(0, colon)) * 60 + LeadingInteger(after.substr(0, kSecondFieldLength));
    if (seconds < std::numeric_limits<std::int32_t>::min() || seconds > std::numeric_limits<std::int32_t>::max())
        return -1;
    return static_cast<std::int32_t>(seconds);
}

void ParseLrcLine(std::u16string_view line, std::vector<LyricLine>& lines)
{
    // The text starts after the last "]"; a line whose first "]" is its first character has none.
    const std::size_t firstClose = line.find(u']');
    if (firstClose == std::u16string_view::npos || firstClose == 0)
        return;
    const std::u16string_view text = line.substr(line.rfind(u']') + 1);

    const std::size_t firstLine = lines.size();
    for (std::size_t open = line.find(u'['); open != std::u16string_view::npos; open = line.find(u'[', open + 1)) {
        const std::u16string_view rest = line.substr(open + 1);
        const std::size_t close = rest.find(u']');
        const std::u16string_view tag = rest.substr(0, close == std::u16string_view::npos ? 0 : close);
        const std::int32_t time = ParseTimeTag(tag);
        if (time >= 0)
            lines.push_back({time, 0, std::u16string(text), TimeTagMilliseconds(tag, time), {}});
    }
    if (firstLine == lines.size())
        return;
    const std::vector<LrcWord> words = ParseLrcWords(text);
    if (words.empty())
        return;

    const std::int64_t firstTagged = words.front().timeMs == kLineTime ? words[1].timeMs : words.front().timeMs;
    std::int64_t referenceMs = kLineTime;
    std::u16string joined;
    for (std::size_t i = firstLine; i < lines.size(); ++i) {
        if (lines[i].timeMs <= firstTagged)
            referenceMs = std::max(referenceMs, lines[i].timeMs);
    }
    if (referenceMs == kLineTime)
        referenceMs = lines[firstLine].timeMs;
    for (const LrcWord& word : words)
        joined += word.text;
    for (std::size_t i = firstLine; i < lines.size(); ++i) {
        LyricLine& entry = lines[i];
        entry.text = joined;
        entry.words = words;
        for (LrcWord& word : entry.words)
            word.timeMs = word.timeMs == kLineTime
                ? entry.timeMs
                : std::max<std::int64_t>(0, word.timeMs + entry.timeMs - referenceMs);
    }
}

LrcLyrics ReadLrcLines(
    std::istream& in, const ICodePage& codePage, int lineHeight, const ITextEncodingDetector& detector)
{
    const LrcFormat format = DetectFormat(in, codePage, detector);
    in.clear();
    in.rdbuf()->pubseekpos(format.textStart, std::ios::in);
    LrcLyrics lyrics;
    ForEachTextLine(in, format.encoding, [&](std::string_view bytes) {
        const std::u16string line = DecodeLine(bytes, format);
        if (const auto offset = OffsetTagMilliseconds(line))
            lyrics.offsetMs = *offset;
        TakeHeaderText(line, u"ti", lyrics.title);
        TakeHeaderText(line, u"ar", lyrics.artist);
        if (!line.empty() && line.back() != u']')
            ParseLrcLine(line, lyrics.lines);
    });
    ApplyOffset(lyrics);
    SortAndPlace(lyrics.lines, lineHeight);
    return lyrics;
}

LrcLyrics ParseLrcText(
    std::string_view bytes, const ICodePage& codePage, int lineHeight, const ITextEncodingDetector& detector)
{
    std::istringstream in {std::string(bytes)};
    return ReadLrcLines(in, codePage, lineHeight, detector);
}

std::optional<LrcLyrics> ReadLrcFile(
    const std::filesystem::path& path, const ICodePage& codePage, int lineHeight, const ITextEncodingDetector& detector)
{
    FileContent content = ReadRegularFile(path, kMaximumLrcFileBytes);
    if (content.result != EFileRead::Done)
        return std::nullopt;
    std::istringstream in(std::move(content.bytes));
    return ReadLrcLines(in, codePage, lineHeight, detector);
}

std::string LrcEncodingName(std::istream& in, const ICodePage& codePage, const ITextEncodingDetector& detector)
{
    const LrcFormat format = DetectFormat(in, codePage, detector);
    switch (format.encoding) {
    case ELrcEncoding::CodePage:
        return format.codePage->Name();
    case ELrcEncoding::Utf8:
        return "UTF-8";
    case ELrcEncoding::Utf16Le:
        return "UTF-16LE";
    case ELrcEncoding::Utf16Be:
        return "UTF-16BE";
    }
    return {};
}

std::vector<LyricLine> IdleLyricLines(int lineHeight)
{
    const std::pair<std::int32_t, std::u16string> idle[] = {
        {1, Tr("LrcParser", "Orbisong工作室")},
        {10, std::u16string(kMakerWebAddress)},
        {49, u"-----------------------"},
        {58, Tr("LrcParser", "点击进入")},
        {60, Tr("LrcParser", "在线了解相关系列软件")},
    };
    std::vector<LyricLine> lines;
    for (const auto& [time, text] : idle)
        lines.push_back({time, 0, text, std::int64_t {time} * 1000, {}});
    SortAndPlace(lines, lineHeight);
    return lines;
}

} // namespace linlangok
