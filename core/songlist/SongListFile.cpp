#include "core/songlist/SongListFile.h"

#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr std::string_view kMagic = "KPOK";

// Reads the fields of a list file front to back; every read fails once the bytes run out.
class CListReader {
public:
    CListReader(std::string_view bytes, const ICodePage& codePage)
        : m_bytes(bytes)
        , m_codePage(codePage)
    {
    }

    bool Integer(std::int32_t& value)
    {
        if (m_bytes.size() < 4)
            return false;
        std::uint32_t bits = 0;
        for (int i = 3; i >= 0; --i)
            bits = bits << 8 | static_cast<unsigned char>(m_bytes[i]);
        value = static_cast<std::int32_t>(bits);
        m_bytes.remove_prefix(4);
        return true;
    }

    bool String(std::u16string& text)
    {
        std::int32_t length = 0;
        if (!Integer(length) || length < 0 || static_cast<std::size_t>(length) > m_bytes.size())
            return false;
        const std::string_view field = m_bytes.substr(0, static_cast<std::size_t>(length));
        text = DecodeUtf8OrLegacy(field.substr(0, field.find('\0')), m_codePage);
        m_bytes.remove_prefix(field.size());
        return true;
    }

    bool Path(std::u16string& path)
    {
        if (!String(path))
            return false;
        path = StoredTextToPath(path);
        return true;
    }

private:
    std::string_view m_bytes;
    const ICodePage& m_codePage;
};

void AppendInteger(std::string& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(bits >> (8 * i) & 0xFF));
}

// The list's strings in file order (stored name, then name and path of each song) as they are
// written: all in the legacy code page when each of them reads back exactly from it, otherwise
// all in UTF-8, so that no character turns into "?".
std::vector<std::string> EncodeStrings(const SongList& list, const ICodePage& codePage)
{
    std::vector<std::u16string> texts {list.storedName};
    for (const auto& song : list.songs) {
        texts.push_back(song.name);
        texts.push_back(PathToStoredText(song.path));
    }
    std::vector<std::string> encoded;
    encoded.reserve(texts.size());
    for (const auto& text : texts) {
        auto bytes = EncodeLegacyExactly(text, codePage);
        if (!bytes) {
            encoded.clear();
            for (const auto& utf8Text : texts)
                encoded.push_back(Utf16ToUtf8(utf8Text));
            break;
        }
        encoded.push_back(std::move(*bytes));
    }
    return encoded;
}

void AppendString(std::string& out, std::u16string_view text, std::string_view converted)
{
    if (text.empty()) {
        AppendInteger(out, 0);
        return;
    }
    const std::size_t length = std::max(2 * (text.size() + 1), converted.size() + 1);
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::length_error("song list string too long");
    AppendInteger(out, static_cast<std::int32_t>(length));
    out += converted;
    out.append(length - converted.size(), '\0');
}

} // namespace

ESongListRead ParseSongList(std::string_view bytes, const ICodePage& codePage, SongList& list)
{
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return ESongListRead::WrongType;
    CListReader reader(bytes.substr(kMagic.size()), codePage);
    SongList read;
    std::int32_t count = 0;
    ESongListRead result = ESongListRead::Truncated;
    if (reader.String(read.storedName) && reader.Integer(read.flag) && reader.Integer(count)) {
        std::int32_t i = 0;
        for (; i < count; ++i) {
            SongRecord song;
            if (!reader.String(song.name) || !reader.Path(song.path) || !reader.Integer(song.flag))
                break;
            read.songs.push_back(std::move(song));
        }
        if (i >= count)
            result = ESongListRead::Complete;
    }
    list = std::move(read);
    return result;
}

std::string SerializeSongList(const SongList& list, const ICodePage& codePage)
{
    if (list.songs.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::length_error("too many songs in one list");
    const std::vector<std::string> encoded = EncodeStrings(list, codePage);
    std::string out(kMagic);
    AppendString(out, list.storedName, encoded[0]);
    AppendInteger(out, list.flag);
    AppendInteger(out, static_cast<std::int32_t>(list.songs.size()));
    for (std::size_t i = 0; i < list.songs.size(); ++i) {
        AppendString(out, list.songs[i].name, encoded[1 + 2 * i]);
        AppendString(out, list.songs[i].path, encoded[2 + 2 * i]);
        AppendInteger(out, list.songs[i].flag);
    }
    return out;
}

ESongListRead ReadSongListFile(const std::filesystem::path& path, const ICodePage& codePage, SongList& list)
{
    const FileContent content = ReadRegularFile(path, kMaximumSongListBytes);
    if (content.result != EFileRead::Done)
        return ESongListRead::Unreadable;
    return ParseSongList(content.bytes, codePage, list);
}

void ShowWrongListType(IUserPrompts& prompts)
{
    prompts.ShowError(Tr("SongListFile", "错误!"), Tr("SongListFile", "文件类型不正确!"));
}

bool LoadList(const std::filesystem::path& path, const ICodePage& codePage, SongList& list, IUserPrompts& prompts)
{
    switch (ReadSongListFile(path, codePage, list)) {
    case ESongListRead::Complete:
    case ESongListRead::Truncated:
        return true;
    case ESongListRead::WrongType:
        ShowWrongListType(prompts);
        return false;
    case ESongListRead::Unreadable:
        break;
    }
    return false;
}

bool SaveList(const std::filesystem::path& path, const SongList& list, const ICodePage& codePage)
{
    try {
        return SaveFile(path, SerializeSongList(list, codePage));
    } catch (const std::length_error&) {
        return false;
    }
}

std::u16string SongNameOfPath(std::u16string_view path)
{
    const std::size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

SongRecord SongRecordOfPath(std::u16string_view path, const CPathDisplay& names)
{
    return {0, names.Text(SongNameOfPath(path)), std::u16string(path)};
}

} // namespace linlangok
