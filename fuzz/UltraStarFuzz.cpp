// The UltraStar reader on arbitrary bytes: no crash, a song or an error, and a song's notes each
// voice in beat order with finite times, its lines covering its notes in order, its LRC lines'
// texts their words joined and its melody sorted and not overlapping. Read from a file, the bytes
// give the same song, and a folder, a FIFO and /dev/zero are refused at once.
#include "common/SongKind.h"
#include "core/lyrics/UltraStarSong.h"
#include "fuzz/InputFiles.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckSong(const linlangok::UltraStarSong& song)
{
    Check(!song.notes.empty() && song.warnings.size() <= linlangok::kMaxUltraStarWarnings + 1);
    std::size_t next = 0;
    for (const linlangok::UltraStarLine& line : song.lines) {
        Check(line.firstNote == next && line.noteCount > 0 && line.start <= line.end);
        next += line.noteCount;
    }
    Check(next == song.notes.size());
    for (std::size_t i = 0; i < song.notes.size(); ++i) {
        const linlangok::UltraStarNote& note = song.notes[i];
        Check(std::isfinite(note.start) && std::isfinite(note.end) && note.start <= note.end);
        Check(i == 0 || song.notes[i - 1].voice < note.voice
            || (song.notes[i - 1].voice == note.voice && song.notes[i - 1].beat <= note.beat));
    }
    const std::vector<linlangok::LyricLine> lines = linlangok::UltraStarLyricLines(song, 26);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::u16string joined;
        for (const linlangok::LrcWord& word : lines[i].words)
            joined += word.text;
        Check(joined == lines[i].text && lines[i].words.back().text.empty());
        Check(i == 0 || lines[i - 1].timeMs <= lines[i].timeMs);
    }
    for (int voice = 0; voice < song.voices; ++voice) {
        const linlangok::ReferenceMelody melody = linlangok::UltraStarMelody(song, voice);
        for (std::size_t i = 1; i < melody.notes.size(); ++i)
            Check(melody.notes[i - 1].end <= melody.notes[i].start);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const linlangok::CIconvCodePage gbk("GBK");
    static const linlangok::CUchardetTextEncodings encodings(gbk);
    static const linlangok::CFuzzInputFiles files;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    linlangok::LooksLikeUltraStarSong(bytes);
    const linlangok::UltraStarRead read = linlangok::ReadUltraStarSong(bytes, encodings, gbk);
    Check(read.song.has_value() == read.error.empty());
    if (read.song)
        CheckSong(*read.song);
    const linlangok::UltraStarRead fromFile = linlangok::ReadUltraStarFile(files.Write(data, size), encodings, gbk);
    Check(fromFile.error == read.error && (!read.song || fromFile.song->notes == read.song->notes));
    for (const auto& special : files.SpecialFiles())
        Check(!linlangok::ReadUltraStarFile(special, encodings, gbk).song);
    return 0;
}
