#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace linlangok {

// Saves one file so that a crash, a full disk or a refused write leaves either the old file or
// the new one, never a half-written one, and no temporary file behind.
//
// The bytes go to a temporary file beside the target, which Commit syncs to disk, gives the
// target's permission bits (and its owner and group where the process may), renames over the
// target and then syncs the folder. A symbolic link is followed: the file it points to is
// replaced and the link stays. When the folder is not writable but the target is, the bytes are
// gathered in an unnamed file in the system's temporary folder and Commit rewrites the target in
// place (truncate, write, sync). A target that exists but is not a writable regular file is
// refused at once, with nothing written.
//
// Open, write, commit: destroying the saver without a successful Commit removes the temporary
// file and leaves the target untouched. The temporary file (".NAME.RANDOM.part") is locked while
// the saver has it; opening a saver removes those that killed processes left in the folder (lock
// free, unwritten for a minute). One thread at a time; never throws.
class CFileSaver {
public:
    explicit CFileSaver(const std::filesystem::path& target);
    ~CFileSaver();

    CFileSaver(const CFileSaver&) = delete;
    CFileSaver& operator=(const CFileSaver&) = delete;

    // False when the target is refused or no temporary file could be made.
    bool IsOpen() const { return m_descriptor >= 0; }

    // The temporary file's descriptor, for libraries that write (and seek) on their own; -1 when
    // not open. It stays owned by the saver.
    int Descriptor() const { return m_descriptor; }

    // Appends the bytes. False when not open or the write failed; the save then fails as a whole.
    bool Write(const void* bytes, std::size_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

    // Puts the file in place of the target. False (target untouched, temporary removed) when
    // anything failed since opening. Later calls return false.
    bool Commit();

private:
    bool CommitByRename();
    bool CommitInPlace();
    void Discard();

    std::filesystem::path m_target; // with symbolic links followed
    std::filesystem::path m_temporary; // empty when writing in place
    int m_descriptor = -1;
    bool m_failed = false;
};

// Saves the bytes as the file at `target` through a CFileSaver. False when that fails.
bool SaveFile(const std::filesystem::path& target, std::string_view bytes);

// Sets a file the program cannot read aside for the user, never deleting it: renames it to the
// first free one of "<name>.damaged", "<name>.damaged-2", "<name>.damaged-3" … beside it, so that
// no copy set aside earlier is replaced. The new path; nothing when the file could not be renamed.
std::optional<std::filesystem::path> SetFileAside(const std::filesystem::path& file);

} // namespace linlangok
