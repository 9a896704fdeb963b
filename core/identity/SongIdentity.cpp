#include "core/identity/SongIdentity.h"

#include "common/RegularFile.h"

#include <algorithm>
#include <limits>

namespace linlangok {
namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;
constexpr size_t kReadBlock = 64 * 1024;

// Hashes `count` bytes of the file from `offset` into the hash; false when they cannot be read.
bool HashRange(const CRegularFile& file, std::uint64_t offset, std::uint64_t count, std::uint64_t& hash)
{
    char block[kReadBlock];
    while (count > 0) {
        const auto part = static_cast<size_t>(std::min<std::uint64_t>(count, sizeof block));
        if (!file.ReadAt(offset, block, part))
            return false;
        for (size_t i = 0; i < part; ++i)
            hash = (hash ^ static_cast<std::uint8_t>(block[i])) * kFnvPrime;
        offset += part;
        count -= part;
    }
    return true;
}

} // namespace

std::optional<SongIdentity> IdentifySong(const std::filesystem::path& path)
{
    const CRegularFile file(path, std::numeric_limits<std::uint64_t>::max());
    const std::uint64_t size = file.Size();
    if (!file.IsOpen() || size == 0)
        return std::nullopt;
    std::uint64_t hash = kFnvOffsetBasis;
    const std::uint64_t head = std::min(size, kSongHashPartBytes);
    const std::uint64_t tail = std::max(head, size > kSongHashPartBytes ? size - kSongHashPartBytes : 0);
    if (!HashRange(file, 0, head, hash) || !HashRange(file, tail, size - tail, hash))
        return std::nullopt;
    return SongIdentity {size, hash};
}

} // namespace linlangok
