add_compile_options(-Wall -Wextra -Wno-unused-parameter)

# CI builds stop at the first warning; local builds only show them.
option(LINLANGOK_WERROR "Treat compiler warnings as errors" OFF)
if(LINLANGOK_WERROR)
  add_compile_options(-Werror)
endif()

# GCC 12 optimising at -O2 and above warns of overlapping copies in `u"literal" + string` that
# cannot happen (GCC bug 105651), so the release build would fail on correct code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
