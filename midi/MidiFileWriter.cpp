#include "midi/MidiFileWriter.h"

#include "common/ErrorLog.h"
#include "common/FileSaver.h"
#include "common/Translation.h"
#include "common/UserPrompts.h"
#include "midi/MidiSong.h"

#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

namespace linlangok {
namespace {

void WriteBigEndian(std::ostream& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.put(static_cast<char>(value >> shift));
}

} // namespace

CMidiFileWriter::CMidiFileWriter(const CMidiSong& song, IUserPrompts& prompts)
    : m_song(song)
    , m_prompts(prompts)
{
}

bool CMidiFileWriter::Write(const std::filesystem::path& path, std::u16string_view caption)
{
    bool written = false;
    try {
        std::ostringstream out;
        out.exceptions(std::ios::failbit | std::ios::badbit);
        WriteSong(out);
        written = SaveFile(path, out.view());
    } catch (...) {
        LogError("writing the MIDI file");
    }
    if (!written)
        m_prompts.ShowError(caption, Tr("CMidiFileWriter", "写Mid文件时出错!"));
    return written;
}

void CMidiFileWriter::WriteSong(std::ostream& out) const
{
    if (m_song.TrackCount() > std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("too many tracks for a MIDI file");
    out.write("MThd", 4);
    WriteBigEndian(out, 6, 4);
    WriteBigEndian(out, static_cast<std::uint32_t>(m_song.Format()), 2);
    WriteBigEndian(out, static_cast<std::uint32_t>(m_song.TrackCount()), 2);
    WriteBigEndian(out, static_cast<std::uint32_t>(m_song.Division()), 2);
    // Each chunk is put together in memory and written after its length: patching the length by
    // seeking back would flush the file once per track.
    std::ostringstream chunk;
    for (size_t index = 0; index < m_song.TrackCount(); ++index) {
        chunk.str({});
        SmfOutput smf {chunk};
        for (const TrackEntry& entry : m_song.Track(index).Entries()) {
            WriteVariableLength(chunk, static_cast<std::uint32_t>(entry.delta));
            entry.message->WriteSmf(smf);
        }
        const std::string_view bytes = chunk.view();
        if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("track too long for a MIDI file");
        out.write("MTrk", 4);
        WriteBigEndian(out, static_cast<std::uint32_t>(bytes.size()), 4);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

} // namespace linlangok
