# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Every program is linked statically (libgcc, libstdc++, winpthread), so an
# .exe runs on a bare Windows with no DLL beside it. The top-level
# CMakeLists.txt runs the test programs under Wine (tools/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MIRVOK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MIRVOK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIRVOK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MIRVOK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MIRVOK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

