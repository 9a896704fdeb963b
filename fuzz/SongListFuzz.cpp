// The song list reader on arbitrary bytes: no crash, no allocation beyond the input's size, and
// whatever it reads writes back to a file that reads back the same.
#include "core/songlist/SongListFile.h"
#include "platform/codepage/IconvCodePage.h"

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
    SongList read;
    if (ParseSongList(SerializeSongList(list, gbk), gbk, read) != ESongListRead::Complete || read != list)
        std::abort();
    return 0;
}
