// The INI reader on arbitrary bytes: no crash, writing back is stable, and a value that is set
// reads back.
#include "core/controller/IniFile.h"
#include "platform/codepage/IconvCodePage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace linlangok;
    static const CIconvCodePage gbk("GBK");
    CIniFile file = CIniFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size), gbk);
    const std::string written = file.Serialize();
    if (CIniFile::Parse(written, gbk).Serialize() != written)
        std::abort();
    if (const auto value = file.Value(u"GLOBAL_SETING", u"UNDO_DATA"))
        DecodeProfileStruct(*value, 4);
    file.SetValue(u"GLOBAL_SETING", u"UNDO_DATA", u"1200000012");
    if (file.Value(u"global_seting", u"undo_data") != u"1200000012")
        std::abort();
    return 0;
}
