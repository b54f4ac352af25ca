# Cross build of KestrelEx.exe with Debian's MinGW-w64 (posix threads) for
# 32-bit x86, the build that is shipped and tested:
#   cmake -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# A 32-bit program sees the registry and folders a 32-bit game menu sees,
# on 32-bit and 64-bit Windows alike (the Wow6432Node view on 64-bit).
# Under Wine it runs as a 32-bit program in a 64-bit prefix.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTREL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
