# i686 Windows through mingw-w64: the shipped 32-bit deliverables. This machine
# cannot run them, so no emulator is set; tests inspect the binaries instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The win32 thread model: the posix model links winpthreads, which imports
# functions Windows XP lacks (GetTickCount64) and adds TLS callbacks to every
# image. That model has no std::thread, which the deliverables do not use.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# How the shipped binaries are made reproducible and lean; included right
# after project(), so it also holds in a build folder configured before.
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/ShippedBuild.cmake)
