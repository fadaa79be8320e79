# The one warning list, for every target: the program, its libraries, the tests and their helpers,
# the benchmarks and the fuzz targets. The presets make any warning fail the build
# (CMAKE_COMPILE_WARNING_AS_ERROR).
add_compile_options(-Wall -Wextra -Wpedantic)
