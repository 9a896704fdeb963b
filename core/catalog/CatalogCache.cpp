#include "core/catalog/CatalogCache.h"

#include "common/FileSaver.h"
#include "common/RegularFile.h"
#include "common/Text.h"

#include <algorithm>
#include <cstring>

namespace linlangok {
namespace {

constexpr std::string_view kMagic = "LKOK catalogue cache 1\n";
// More than a venue's million songs take.
constexpr std::uint64_t kLargestCache = std::uint64_t(1) << 31;
// The bytes a song takes at least: its integers and the lengths of its texts.
constexpr size_t kSmallestSong = 7 * 8 + 8 * 4;

void PutInteger(std::string& bytes, std::uint64_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutText(std::string& bytes, std::string_view text)
{
    PutInteger(bytes, text.size(), 4);
    bytes += text;
}

// Reads what was put, never past the end: after a short read, Good() is false and values are 0.
class CReader {
public:
    explicit CReader(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    bool Good() const { return m_good; }
    size_t Left() const { return m_bytes.size() - m_position; }
    std::uint64_t Integer(size_t width)
    {
        if (!m_good || Left() < width)
            return Failed(0);
        std::uint64_t value = 0;
        for (size_t i = 0; i < width; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(m_bytes[m_position + i])) << (8 * i);
        m_position += width;
        return value;
    }
    std::string Text()
    {
        const std::uint64_t size = Integer(4);
        if (!m_good || Left() < size)
            return Failed(std::string());
        std::string text(m_bytes.substr(m_position, size));
        m_position += size;
        return text;
    }

private:
    template <typename T> T Failed(T value)
    {
        m_good = false;
        return value;
    }

    std::string_view m_bytes;
    size_t m_position = 0;
    bool m_good = true;
};

} // namespace

bool SaveCatalogCache(const std::filesystem::path& file, const CatalogSnapshot& snapshot)
{
    std::string bytes(kMagic);
    PutInteger(bytes, static_cast<std::uint64_t>(snapshot.revision), 8);
    PutInteger(bytes, snapshot.songs.size(), 8);
    for (const CatalogSong& song : snapshot.songs) {
        PutInteger(bytes, static_cast<std::uint64_t>(song.id), 8);
        PutInteger(bytes, static_cast<std::uint32_t>(song.lengthMilliseconds), 4);
        PutInteger(bytes, song.size, 8);
        PutInteger(bytes, static_cast<std::uint64_t>(song.modified), 8);
        PutInteger(bytes, song.identity.size, 8);
        PutInteger(bytes, song.identity.hash, 8);
        PutInteger(bytes, static_cast<std::uint32_t>(song.timesSung), 4);
        PutInteger(bytes, static_cast<std::uint32_t>(song.bestScore), 4);
        PutInteger(bytes, 0, 4); // room for what a later version keeps
        PutText(bytes, song.path.native());
        PutText(bytes, Utf16ToUtf8(song.title));
        PutText(bytes, Utf16ToUtf8(song.singer));
        PutText(bytes, song.format);
        PutText(bytes, song.language);
        PutText(bytes, song.titleReadings);
        PutText(bytes, song.singerReadings);
        PutText(bytes, song.cover.native());
    }
    return SaveFile(file, bytes);
}

std::optional<CatalogSnapshot> LoadCatalogCache(const std::filesystem::path& file)
{
    const FileContent content = ReadRegularFile(file, kLargestCache);
    if (content.result != EFileRead::Done || !std::string_view(content.bytes).starts_with(kMagic))
        return std::nullopt;
    CReader reader(std::string_view(content.bytes).substr(kMagic.size()));
    CatalogSnapshot snapshot;
    snapshot.revision = static_cast<std::int64_t>(reader.Integer(8));
    const std::uint64_t count = reader.Integer(8);
    if (!reader.Good() || count > reader.Left() / kSmallestSong)
        return std::nullopt;
    snapshot.songs.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        CatalogSong song;
        song.id = static_cast<std::int64_t>(reader.Integer(8));
        song.lengthMilliseconds = static_cast<std::int32_t>(reader.Integer(4));
        song.size = reader.Integer(8);
        song.modified = static_cast<std::int64_t>(reader.Integer(8));
        song.identity.size = reader.Integer(8);
        song.identity.hash = reader.Integer(8);
        song.timesSung = static_cast<std::int32_t>(reader.Integer(4));
        song.bestScore = std::clamp(static_cast<std::int32_t>(reader.Integer(4)), 0, 100);
        reader.Integer(4);
        song.path = reader.Text();
        song.title = Utf8ToUtf16(reader.Text());
        song.singer = Utf8ToUtf16(reader.Text());
        song.format = reader.Text();
        song.language = reader.Text();
        song.titleReadings = reader.Text();
        song.singerReadings = reader.Text();
        song.cover = reader.Text();
        if (!reader.Good())
            return std::nullopt;
        snapshot.songs.push_back(std::move(song));
    }
    if (reader.Left() != 0)
        return std::nullopt;
    return snapshot;
}

} // namespace linlangok
