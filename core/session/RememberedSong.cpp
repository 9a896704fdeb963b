#include "core/session/RememberedSong.h"

#include "common/FilePath.h"

namespace linlangok {

CRememberedSong::CRememberedSong(
    const std::u16string& path, const std::filesystem::path& programFolder, IUserPrompts& prompts, IFileLocks& locks)
    : m_path(path)
    , m_memory(programFolder / kSongMemoryFileName, prompts, locks)
{
}

const std::optional<SongIdentity>& CRememberedSong::Identity()
{
    if (m_identifiedPath != m_path) {
        m_identifiedPath = m_path;
        m_identity = IdentifySong(Utf16ToPath(m_path));
    }
    return m_identity;
}

SongMemoryValues CRememberedSong::RecallAnew()
{
    m_identifiedPath.clear();
    m_identity.reset();
    const std::optional<SongIdentity>& song = Identity();
    return song ? m_memory.Recall(*song) : SongMemoryValues {};
}

void CRememberedSong::Remember(const std::function<void(SongMemoryValues&)>& change)
{
    const std::optional<SongIdentity>& song = Identity();
    if (!song)
        return;
    SongMemoryValues values = m_memory.Recall(*song);
    change(values);
    m_memory.Remember(*song, values);
}

} // namespace linlangok
