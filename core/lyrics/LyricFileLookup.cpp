#include "core/lyrics/LyricFileLookup.h"

#include "common/SongKind.h"
#include "core/songlist/FileFinder.h"

#include <string>
#include <system_error>

namespace linlangok {
namespace {

constexpr int kMaxIdleMidiLines = 2;

// The song's base name followed by ".lrc", in the file system's encoding.
std::string WantedLyricFileName(const std::filesystem::path& songPath)
{
    const std::string& path = songPath.native();
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string base;
    if (dot != std::string::npos && dot >= start)
        base = path.substr(start, dot - start);
    return base + ".lrc";
}

} // namespace

std::filesystem::path LyricFolder(const std::filesystem::path& programFolder)
{
    return programFolder / "Lyric";
}

void CreateLyricFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::create_directory(folder, error);
}

std::filesystem::path FindLyricFile(const std::filesystem::path& songPath, const std::filesystem::path& lyricFolder,
    const CPathDisplay& names, IUserPrompts& prompts)
{
    return CLyricFolderIndex(lyricFolder, names, prompts).Find(songPath);
}

CLyricFolderIndex::CLyricFolderIndex(
    const std::filesystem::path& lyricFolder, const CPathDisplay& names, IUserPrompts& prompts)
    : m_names(names)
{
    for (const auto& file : ListFolderFiles(lyricFolder, u"*.lrc", prompts)) {
        std::filesystem::path path = lyricFolder / file.name;
        m_byText.try_emplace(names.Text(PathToUtf16(file.name)), path);
        m_byName.try_emplace(file.name.native(), std::move(path));
    }
}

std::filesystem::path CLyricFolderIndex::Find(const std::filesystem::path& songPath) const
{
    const std::string wanted = WantedLyricFileName(songPath);
    if (const auto named = m_byName.find(wanted); named != m_byName.end())
        return named->second;
    const auto readsAlike = m_byText.find(m_names.Text(PathToUtf16(wanted)));
    return readsAlike == m_byText.end() ? std::filesystem::path() : readsAlike->second;
}

bool LoadSongLyrics(const std::filesystem::path& songPath, ESongKind songKind, std::filesystem::path& lyricPath,
    ILyricsShow& show, const std::filesystem::path& lyricFolder, const CPathDisplay& names, IUserPrompts& prompts)
{
    if (songKind == ESongKind::Midi) {
        show.LoadLrcLyrics(songPath);
        if (show.MidiLyricLineCount() > kMaxIdleMidiLines)
            return false;
        show.ShowIdleLyrics();
        return true;
    }
    if (IsUltraStarFileName(PathToUtf16(songPath))) {
        lyricPath = songPath; // its syllables are its lyrics
        show.LoadLrcLyrics(lyricPath);
        return false;
    }
    if (auto found = FindLyricFile(songPath, lyricFolder, names, prompts); !found.empty()) {
        lyricPath = std::move(found);
        show.LoadLrcLyrics(lyricPath);
        return false;
    }
    if (!lyricPath.empty()) {
        show.LoadLrcLyrics(lyricPath);
        return false;
    }
    show.ShowIdleLyrics();
    return true;
}

} // namespace linlangok
