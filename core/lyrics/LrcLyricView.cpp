#include "core/lyrics/LrcLyricView.h"

#include "common/FilePath.h"
#include "common/SongKind.h"
#include "core/lyrics/UltraStarSong.h"

#include <algorithm>

namespace linlangok {
namespace {

// With the idle lines and no lyric file the hyphen line stays in the middle.
constexpr int kIdleCurrentLine = 2;
constexpr int kLineEndingSeconds = 2;

// A word-timed line sung up to the word being sung at the position (seconds).
KaraokeLine SweptLine(const LyricLine& line, int index, int top, double position)
{
    const std::vector<LrcWord>& words = line.words;
    const int sung = FindSungItem(0, static_cast<int>(words.size()), position,
        [&](int i) { return static_cast<double>(words[i].timeMs) / 1000; });
    KaraokeLine swept {index, top, {}, {}, line.voice, {}};
    std::size_t offset = 0;
    for (int i = 0; i < static_cast<int>(words.size()); ++i) {
        const std::u16string& text = words[i].text;
        if (words[i].golden && !text.empty())
            swept.golden.push_back({offset, offset + text.size()});
        offset += text.size();
        (i <= sung ? swept.sung : swept.rest) += text;
    }
    return swept;
}

} // namespace

int FindCurrentLine(std::span<const LyricLine> lines, int t)
{
    if (lines.empty() || t <= 0 || t < lines.front().time)
        return 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].time <= t && t < lines[i + 1].time)
            return static_cast<int>(i);
    }
    return static_cast<int>(lines.size()) - 1;
}

CLrcLyricView::CLrcLyricView(const ICodePage& codePage)
    : m_codePage(codePage)
{
}

void CLrcLyricView::Load(const std::filesystem::path& path, const ITextEncodingDetector& detector)
{
    m_lines.clear();
    if (path.empty()) {
        ShowIdle();
        return;
    }
    if (IsUltraStarFileName(PathToUtf16(path))) {
        if (const std::optional<UltraStarSong> song = ReadUltraStarFile(path, detector, m_codePage).song) {
            m_lines = UltraStarLyricLines(*song, kLyricLineHeight);
            m_scroll.ResetOffset();
        }
        return;
    }
    if (auto lyrics = ReadLrcFile(path, m_codePage, kLyricLineHeight, detector)) {
        m_lines = std::move(lyrics->lines);
        m_scroll.ResetOffset();
    }
}

void CLrcLyricView::ShowIdle()
{
    m_lines = IdleLyricLines(kLyricLineHeight);
    m_scroll.ResetOffset();
}

CLrcLyricView::LineTiming CLrcLyricView::CurrentLine(const LyricsPaintInput& input) const
{
    const int count = static_cast<int>(m_lines.size());
    const int t = TruncateToInt(input.position);
    LineTiming timing;
    timing.line = input.lyricPathEmpty ? std::min(kIdleCurrentLine, count - 1) : FindCurrentLine(m_lines, t);
    timing.last = timing.line == count - 1;
    if (!timing.last) {
        // 64-bit because times span the whole int range.
        const std::int64_t next = m_lines[timing.line + 1].time;
        timing.untilNext = next - t;
        timing.duration = next - m_lines[timing.line].time;
    }
    return timing;
}

int CLrcLyricView::OtherVoiceLine(int current, double position) const
{
    // The lines of one voice never overlap, so only its latest line can still be sung.
    for (int i = current - 1; i >= 0; --i) {
        const LyricLine& line = m_lines[i];
        if (line.voice != m_lines[current].voice)
            return !line.words.empty() && position * 1000 < static_cast<double>(line.words.back().timeMs) ? i : -1;
    }
    return -1;
}

void CLrcLyricView::Advance(const LyricsPaintInput& input)
{
    if (m_lines.empty())
        return;
    const LineTiming current = CurrentLine(input);
    m_scroll.Advance(
        current.line, current.last, static_cast<double>(current.duration), kLyricLineHeight, input.playing);
    if (input.idle)
        m_scroll.LimitOffset(kIdleScrollLimit);
}

LyricFrame CLrcLyricView::Layout(const LyricsPaintInput& input) const
{
    LyricFrame frame;
    if (m_lines.empty())
        return frame;
    const LineTiming current = CurrentLine(input);
    const VisibleLineRange range = VisibleLines(
        input.clientHeight, kLyricLineHeight, current.line, static_cast<int>(m_lines.size()), m_scroll.Offset());
    for (int i = range.first; i <= range.last; ++i) {
        const LyricLine& line = m_lines[i];
        const int top = TruncateToInt(static_cast<double>(line.y) + range.base);
        if (i == current.line && !line.words.empty()) {
            frame.current = SweptLine(line, i, top, input.position);
            continue;
        }
        RgbColour colour = OtherLineColour(line.voice);
        if (i == current.line)
            colour = !current.last && current.untilNext < kLineEndingSeconds ? kLrcCurrentLineEnding : kLrcCurrentLine;
        frame.lines.push_back({i, top, line.text, colour});
    }
    return frame;
}

StageLines CLrcLyricView::Stage(const LyricsPaintInput& input) const
{
    StageLines stage;
    if (m_lines.empty())
        return stage;
    const int current = CurrentLine(input).line;
    const LyricLine& line = m_lines[current];
    stage.voice = line.voice;
    if (line.words.empty()) {
        stage.rest = line.text;
    } else {
        KaraokeLine swept = SweptLine(line, current, 0, input.position);
        stage.sung = std::move(swept.sung);
        stage.rest = std::move(swept.rest);
        stage.golden = std::move(swept.golden);
    }
    if (const int other = OtherVoiceLine(current, input.position); other >= 0)
        stage.other = SweptLine(m_lines[other], other, 0, input.position);
    if (current + 1 < static_cast<int>(m_lines.size())) {
        stage.next = m_lines[current + 1].text;
        stage.nextVoice = m_lines[current + 1].voice;
    }
    if (!input.lyricPathEmpty)
        stage.firstLineTime = static_cast<double>(m_lines.front().timeMs) / 1000;
    return stage;
}

} // namespace linlangok
