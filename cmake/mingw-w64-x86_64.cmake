# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (posix thread model, for
# std::thread and std::mutex). Tests run under Wine.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTROM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTROM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTROM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTROM_MINGW_TRIPLE}-windres)

# Libraries, headers and package files come from the MinGW tree only, so that no header or
# library of the Linux host slips into a Windows build; build tools come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTROM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest, and gtest_discover_tests, run the Windows programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
