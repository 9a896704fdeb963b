#pragma once

#include "core/identity/SongIdentity.h"
#include "core/scoring/VocalMelody.h"
#include "core/session/VocalLayout.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The melodies derived from videos, kept by the song's content as its loudness is: one small
// text file per song in the folder kMelodyFolderName of the program folder, named by the song's
// identity ("<size>-<hash in 16 hexadecimal digits>.txt"). Each holds the layout it was derived
// by, the verdict and, for a melody, its notes:
//
//   linlangok-melody 1
//   layout right
//   verdict melody
//   note 1.043 1.249 66.02
//
// Times in seconds, pitches as MIDI note numbers.
namespace linlangok {

inline constexpr std::string_view kMelodyFolderName = "Melodies";
// The largest file read, and the most notes one holds (a 20-minute song of notes of 0.1 s).
inline constexpr size_t kMaximumMelodyFileBytes = 512 * 1024;
inline constexpr size_t kMaximumMelodyNotes = 12000;

// What is kept of a song: the layout its video was derived by, and what was found.
struct KeptMelody {
    VocalLayout layout;
    VocalMelodyResult result;

    bool operator==(const KeptMelody&) const = default;
};

// The file's text; a result of the verdict Unreadable is never kept.
std::string SerializeKeptMelody(const KeptMelody& kept);
// Nothing unless the whole text is one that SerializeKeptMelody writes: the header, a known
// layout and verdict, notes (for a melody only, at least kMinimumVocalNotes and at most
// kMaximumMelodyNotes) with finite times from 0 to a day, sorted and not overlapping, pitches
// from 0 to 127. The lines are recomputed from the notes.
std::optional<KeptMelody> ParseKeptMelody(std::string_view text);

// The folder of kept melodies. Any thread; two threads never write one song's file at once.
class CMelodyStore {
public:
    explicit CMelodyStore(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return m_folder; }
    std::filesystem::path FileOf(const SongIdentity& song) const;

    // What is kept of the song; nothing when no file is, or it is no regular file, larger than
    // kMaximumMelodyFileBytes or damaged (ignored, to be replaced by the next Keep).
    std::optional<KeptMelody> Recall(const SongIdentity& song) const;
    // Writes the song's file whole through SaveFile, making the folder when missing. False when
    // that fails or the verdict is Unreadable.
    bool Keep(const SongIdentity& song, const KeptMelody& kept) const;

private:
    std::filesystem::path m_folder;
};

} // namespace linlangok
