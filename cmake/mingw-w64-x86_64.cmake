# Cross build of KestrelEx.exe with Debian's MinGW-w64 (posix threads) for
# x86-64; it builds, but the shipped and tested build is the 32-bit one:
#   cmake -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTREL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
