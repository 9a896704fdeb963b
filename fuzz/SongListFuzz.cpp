// The song list reader on arbitrary bytes: no crash, no allocation beyond the input's size, and
// whatever it reads writes back to a file that reads back the same. Read from a file, the bytes
// give the same list, and a folder, a FIFO and /dev/zero are refused at once.
#include "core/songlist/SongListFile.h"
#include "fuzz/InputFiles.h"
#include "platform/codepage/IconvCodePage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace linlangok;
    static const CIconvCodePage gbk("GBK");
    static const CFuzzInputFiles files;
    SongList list;
    const ESongListRead result = ParseSongList(std::string_view(reinterpret_cast<const char*>(data), size), gbk, list);
    SongList fromFile;
    if (ReadSongListFile(files.Write(data, size), gbk, fromFile) != result || fromFile != list)
        std::abort();
    for (const auto& special : files.SpecialFiles()) {
        if (ReadSongListFile(special, gbk, fromFile) != ESongListRead::Unreadable)
            std::abort();
    }
    if (result == ESongListRead::WrongType)
        return 0;
    SongList read;
    if (ParseSongList(SerializeSongList(list, gbk), gbk, read) != ESongListRead::Complete || read != list)
        std::abort();
    return 0;
}
