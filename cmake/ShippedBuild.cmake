# The shipped build (the i686 toolchain includes this after project()): the
# same sources give the same bytes wherever and whenever they are built.
#
# -g does not change the code; it fills the separate debug file that
# kit_split_debug (SplitDebug.cmake) writes, which the stripped image names by
# CRC-32, so neither the source nor the build folder may appear in it. The
# build folder is mapped last, since GCC tries the last mapping first and the
# build folder may lie inside the sources.
add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-g;-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.;-ffile-prefix-map=${CMAKE_BINARY_DIR}=.>")
# ld otherwise writes the link time into the file header and the export directory.
add_link_options(LINKER:--no-insert-timestamp)
set(KIT_SPLIT_DEBUG ON)
# Small images: optimised for size (the cipher's inner loops excepted, see
# crypt/), and every function and datum nobody calls or reads left out.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-Os;-ffunction-sections;-fdata-sections>")
add_link_options(LINKER:--gc-sections)
