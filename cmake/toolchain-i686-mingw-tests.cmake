# i686 Windows through mingw-w64, for the i686 lane: the unit tests, and the
# shipped binaries of build/win32 driven by them, run under 32-bit Wine
# (./kit test32). Nothing built here ships, so the shipped build's settings
# (reproducible, split debug information) are left out.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-mingw.cmake)
# GoogleTest needs std::condition_variable: the posix thread model.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
unset(CMAKE_PROJECT_INCLUDE)
set(KIT_I686_TESTS ON)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../tools/wine32/wine32-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)
