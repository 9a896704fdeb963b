# Writes OUTPUT, a C++ source that defines PhoneAssets() over the files of the phones' page:
# ASSETS is a list of ROUTE|CONTENT_TYPE|FILE entries. Run with cmake -P at build time.
set(definitions "")
set(table "")
set(number 0)
foreach(asset IN LISTS ASSETS)
  string(REPLACE "|" ";" fields "${asset}")
  list(GET fields 0 route)
  list(GET fields 1 type)
  list(GET fields 2 file)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR bytes "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes_text "${hex}")
  string(APPEND definitions "constexpr char kAsset${number}[] = {${bytes_text} 0};\n")
  string(APPEND table "    {\"${route}\", \"${type}; charset=utf-8\", {kAsset${number}, ${bytes}}},\n")
  math(EXPR number "${number} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Generated from resources/phone by EmbedAssets.cmake.
#include \"core/phone/PhoneAssets.h\"

namespace linlangok {
namespace {

${definitions}
constexpr PhoneAsset kAssets[] = {
${table}};

} // namespace

std::span<const PhoneAsset> PhoneAssets()
{
    return kAssets;
}

} // namespace linlangok
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
