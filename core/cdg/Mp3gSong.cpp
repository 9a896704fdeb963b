#include "core/cdg/Mp3gSong.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace linlangok {
namespace {

char LowerAscii(char character)
{
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool EqualIgnoringCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
        return LowerAscii(a) == LowerAscii(b);
    });
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& character : upper)
        if (character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
    return upper;
}

// The member's name without its extension, or nothing when it is no sound or graphics file.
std::optional<std::string_view> Stem(std::string_view name, bool graphics)
{
    if (graphics ? !HasExtension(name, kCdgExtension) : !IsMp3gAudioName(name))
        return std::nullopt;
    return name.substr(0, name.rfind('.'));
}

bool CountsForNothing(std::string_view name)
{
    return name.empty() || name.back() == '/' || name.rfind("__MACOSX/", 0) == 0;
}

} // namespace

bool HasExtension(std::string_view name, std::string_view extension)
{
    return name.size() >= extension.size() && EqualIgnoringCase(name.substr(name.size() - extension.size()), extension);
}

bool IsMp3gAudioName(std::string_view name)
{
    return std::any_of(std::begin(kMp3gAudioExtensions), std::end(kMp3gAudioExtensions),
        [name](std::string_view extension) { return HasExtension(name, extension); });
}

std::optional<std::filesystem::path> FindBeside(
    const std::filesystem::path& file, const std::vector<std::string_view>& extensions)
{
    const std::filesystem::path folder = file.parent_path();
    const std::string stem = file.stem().string();
    std::error_code error;
    for (std::string_view extension : extensions) {
        for (const std::string& name : {stem + std::string(extension), stem + Upper(extension)}) {
            std::filesystem::path candidate = folder / name;
            if (std::filesystem::is_regular_file(candidate, error))
                return candidate;
        }
    }
    // Names made on systems that ignore case: "Song.MP3" beside "song.cdg".
    for (std::string_view extension : extensions) {
        const std::string wanted = stem + std::string(extension);
        std::optional<std::filesystem::path> found;
        ForEachFolderEntry(folder, [&](const std::filesystem::directory_entry& entry) {
            const std::string name = entry.path().filename().string();
            std::error_code ignored;
            if (EqualIgnoringCase(name, wanted) && entry.is_regular_file(ignored))
                found = folder / name;
            return !found;
        });
        if (found)
            return found;
    }
    return std::nullopt;
}

bool IsMp3gSong(const std::filesystem::path& song)
{
    const std::string name = song.filename().string();
    if (HasExtension(name, kZipExtension) || HasExtension(name, kCdgExtension))
        return true;
    return IsMp3gAudioName(name) && FindBeside(song, {kCdgExtension}).has_value();
}

bool IsSafeMemberName(std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return false;
    if (name.size() >= 2 && name[1] == ':')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

Mp3gMembers ChooseMp3gMembers(const std::vector<std::string>& names)
{
    std::vector<size_t> graphics;
    std::vector<size_t> audio;
    for (size_t i = 0; i < names.size(); ++i) {
        if (CountsForNothing(names[i]))
            continue;
        if (Stem(names[i], true))
            graphics.push_back(i);
        else if (Stem(names[i], false))
            audio.push_back(i);
    }
    if (graphics.empty())
        throw std::runtime_error(TrUtf8("Mp3gSong", "压缩包里没有 CD+G 图形文件(.cdg)"));
    for (size_t picture : graphics)
        for (size_t sound : audio)
            if (EqualIgnoringCase(*Stem(names[picture], true), *Stem(names[sound], false)))
                return {sound, picture};
    if (graphics.size() == 1 && audio.size() == 1)
        return {audio.front(), graphics.front()};
    throw std::runtime_error(
        Utf16ToUtf8(Formatted(Tr("Mp3gSong", "压缩包里没有与“%1”同名的音频文件(.mp3、.ogg、.wav、.flac)"),
            {Utf8ToUtf16(names[graphics.front()])})));
}

} // namespace linlangok
