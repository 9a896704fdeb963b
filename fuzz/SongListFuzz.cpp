// The song list reader on arbitrary bytes: no crash, no allocation beyond the input's size, and
// whatever it reads writes back to a file that reads back the same.
#include "platform/codepage/IconvCodePage.h"
#include "songlist/SongListFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace linlangok;
    static const CIconvCodePage gbk("GBK");
    SongList list;
    if (ParseSongList(std::string_view(reinterpret_cast<const char*>(data), size), gbk, list)
        == ESongListRead::WrongType)
        return 0;
    // Text that the code page cannot hold is written as "?", so compare from the second round.
    SongList once;
    SongList twice;
    if (ParseSongList(SerializeSongList(list, gbk), gbk, once) != ESongListRead::Complete
        || ParseSongList(SerializeSongList(once, gbk), gbk, twice) != ESongListRead::Complete || once != twice)
        std::abort();
    return 0;
}
