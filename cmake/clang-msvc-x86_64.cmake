# Debian's clang for 64-bit Windows with the Microsoft C++ ABI, the ABI of the host engine's
# compiler. Nothing of such a tree is built or linked: Microsoft's headers, libraries and the
# engine's import library are missing. scripts/check-msvc-layout.sh configures it and compiles
# each source from its compile_commands.json, to see every source compile for that target and
# the virtual tables and records the host sees.
#
#   cmake -S . -B build/msvc -DCMAKE_TOOLCHAIN_FILE=cmake/clang-msvc-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KESTROM_MSVC_TRIPLE x86_64-pc-windows-msvc)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${KESTROM_MSVC_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${KESTROM_MSVC_TRIPLE})
# CMake's own compiler checks build archives, never programs (there is no runtime to link).
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Libraries, headers and package files come from the MinGW tree only, as in the MinGW build:
# no header of the Linux host slips in; build tools come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW-w64's C and C++ headers stand in for Microsoft's:
# - -fgnuc-version lets them take their GNU branches, which this clang understands;
# - __declspec is a keyword for this target, not a macro: defining it to itself keeps
#   _mingw.h from redefining the import attribute away;
# - libstdc++ expects __STRICT_ANSI__ with -std=c++17, which clang leaves undefined for MSVC
#   targets.
set(mingw_cxx /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++)
if(NOT EXISTS ${mingw_cxx})
    message(FATAL_ERROR "${mingw_cxx}: no MinGW-w64 C++ headers (scripts/install-deps.sh windows)")
endif()
set(mingw_headers "-fgnuc-version=12.2 -D__declspec=__declspec -D__STRICT_ANSI__")
string(APPEND mingw_headers " -isystem /usr/share/mingw-w64/include")
set(CMAKE_C_FLAGS_INIT "${mingw_headers}")
set(CMAKE_CXX_FLAGS_INIT
    "-nostdinc++ -isystem ${mingw_cxx} -isystem ${mingw_cxx}/x86_64-w64-mingw32 ${mingw_headers}")
