# The one warning list, for every target: the program, its libraries, the tests and their helpers,
# the benchmarks, the fuzz targets and the icon tool of the Windows build. The presets make any
# warning fail the build (CMAKE_COMPILE_WARNING_AS_ERROR).
if(MSVC)
  add_compile_options(/W4)
else()
  add_compile_options(-Wall -Wextra -Wpedantic)
endif()
