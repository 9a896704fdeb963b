// The INI reader on arbitrary bytes: no crash, writing back is stable, and a value that is set
// reads back. Read from a file, the bytes give the same lines, and a folder, a FIFO and
// /dev/zero are refused at once.
#include "core/controller/IniFile.h"
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
    CIniFile file = CIniFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size), gbk);
    const std::string written = file.Serialize();
    const auto fromFile = CIniFile::Load(files.Write(data, size), gbk);
    if (!fromFile || fromFile->Serialize() != written)
        std::abort();
    for (const auto& special : files.SpecialFiles()) {
        if (CIniFile::Load(special, gbk))
            std::abort();
    }
    if (CIniFile::Parse(written, gbk).Serialize() != written)
        std::abort();
    if (const auto value = file.Value(u"GLOBAL_SETING", u"UNDO_DATA"))
        DecodeProfileStruct(*value, 4);
    file.SetValue(u"GLOBAL_SETING", u"UNDO_DATA", u"1200000012");
    if (file.Value(u"global_seting", u"undo_data") != u"1200000012")
        std::abort();
    return 0;
}
