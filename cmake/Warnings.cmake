add_compile_options(-Wall -Wextra -Wno-unused-parameter)

# CI builds stop at the first warning; local builds only show them.
option(LINLANGOK_WERROR "Treat compiler warnings as errors" OFF)
if(LINLANGOK_WERROR)
  add_compile_options(-Werror)
endif()
