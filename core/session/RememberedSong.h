#pragma once

#include "common/FileLock.h"
#include "common/UserPrompts.h"
#include "core/session/SongMemory.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace linlangok {

// The accompaniment file as the song memory knows it, in SongMemory.ini in the program folder: the
// song is known by its size and the hash of its bytes (CSongMemory), so it stays the same song
// after a move or a rename. Nothing is remembered of a file that cannot be read. UI thread.
class CRememberedSong {
public:
    // `path` is the session's accompaniment path, read at every use; it, the prompts and the locks
    // outlive this.
    CRememberedSong(const std::u16string& path, const std::filesystem::path& programFolder, IUserPrompts& prompts,
        IFileLocks& locks);

    const std::u16string& Path() const { return m_path; }
    // The file's identity, read again when the path has changed.
    const std::optional<SongIdentity>& Identity();
    // Reads the identity anew (the file may have changed) and returns what is remembered of it;
    // empty values when nothing is, or the file cannot be read.
    SongMemoryValues RecallAnew();
    // Changes what is remembered of the file and saves it.
    void Remember(const std::function<void(SongMemoryValues&)>& change);
    // The memory of every song, for what is kept of a song by its identity.
    CSongMemory& Memory() { return m_memory; }

private:
    const std::u16string& m_path;
    CSongMemory m_memory;
    std::u16string m_identifiedPath; // the path m_identity was read from
    std::optional<SongIdentity> m_identity;
};

} // namespace linlangok
