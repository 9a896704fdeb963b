#pragma once

#include "common/FileLock.h"
#include "common/UserPrompts.h"
#include "core/identity/SongIdentity.h"
#include "core/loudness/Loudness.h"
#include "core/session/VocalLayout.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Songs that remember: per song, the key, the lyric file chosen for it, the encoding override of
// its texts, the LRC offset, the guide-melody switch (a video's 原唱/伴唱), where a video's
// original vocal is, and its loudness, kept in the file
// SongMemory.ini in the program folder (not in OKSetting.ini, whose format is fixed).
namespace linlangok {

inline constexpr std::string_view kSongMemoryFileName = "SongMemory.ini";
// The largest file read; the program's own writes stay below it by forgetting the songs used
// longest ago.
inline constexpr size_t kMaximumSongMemoryBytes = 1024 * 1024;
inline constexpr std::int32_t kMaximumLrcOffsetMilliseconds = 600000;
inline constexpr size_t kMaximumRememberedPathBytes = 4096;

// What is remembered of one song; each value is absent until it is set for the song.
struct SongMemoryValues {
    std::optional<std::int32_t> pitch; // semitones, -127..127
    std::u16string lyricPath; // the lyric file chosen for the song; empty: none
    std::string encoding; // a code page name overriding the detected one; empty: none
    std::int32_t lrcOffsetMilliseconds = 0; // added to every LRC time
    std::optional<bool> melody; // the guide melody on; of a video, its original vocal (原唱)
    std::optional<VocalLayout> vocalLayout; // of a video
    std::optional<LoudnessMeasure> loudness; // as measured for leveling
    std::optional<std::int32_t> bestScore; // the best a singer has scored, 0..100

    bool IsEmpty() const { return *this == SongMemoryValues {}; }
    bool operator==(const SongMemoryValues&) const = default;
};

// The song memory file. Read at every use, so that what another instance on the same program
// folder remembered is seen: a missing file is an empty memory; content it does not understand (a
// foreign or damaged file, a file over kMaximumSongMemoryBytes, a value out of range) is skipped
// with one warning a run, and the file is first copied to "SongMemory.ini.bak" so that nothing is
// lost when the next change rewrites it; one that is no regular file or cannot be read is skipped
// with a warning that says so. Every change reads the file again and saves it whole through
// SaveFile, both under the lock of the file's folder, so that two instances never lose each
// other's songs; a failed save is reported once, and its change kept for the run. UI thread.
class CSongMemory {
public:
    // The file, the prompts and the locks outlive the memory.
    CSongMemory(std::filesystem::path file, IUserPrompts& prompts, IFileLocks& locks);

    // What is remembered of the song; empty values when nothing is.
    SongMemoryValues Recall(const SongIdentity& song);
    // Replaces what is remembered of the song (empty values forget it), makes it the song used
    // last and saves the file. A value the file cannot hold is dropped (a lyric path longer than
    // kMaximumRememberedPathBytes or with a line break, an encoding name with other characters
    // than letters, digits and "-_.:", a loudness measure that IsPlausibleMeasure refuses); numbers
    // are clamped to their ranges. False when the save failed.
    bool Remember(const SongIdentity& song, const SongMemoryValues& values);

    const std::filesystem::path& FilePath() const { return m_file; }

private:
    struct Entry {
        SongIdentity song;
        SongMemoryValues values;
    };

    // Reads the file anew, then applies this run's changes that could not be saved. Returns the
    // warning to show when some of the file was not understood, once a run (the file has been
    // copied aside then); empty otherwise.
    std::u16string Load();
    std::u16string Read();
    // Replaces the song's entry, or removes it for empty values.
    void Apply(const Entry& change);
    // Saves the entries, forgetting the songs used longest ago until the file fits its bound;
    // false when the save failed.
    bool Save();
    // The entries of the file's text, the song used longest ago first; false when some of the
    // text was not understood.
    static bool Parse(std::string_view text, std::vector<Entry>& entries);
    static std::string Serialize(const Entry& entry);

    std::filesystem::path m_file;
    IUserPrompts& m_prompts;
    IFileLocks& m_locks;
    std::vector<Entry> m_entries;
    std::vector<Entry> m_unsaved; // kept for the run until a save succeeds
    bool m_warned = false;
    bool m_saveFailureShown = false;
};

} // namespace linlangok
