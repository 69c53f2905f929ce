# Project-wide compile settings. Results must be bit-reproducible: no contraction of
# a*b+c into fused multiply-adds and no value-changing floating-point optimisation. Each
# compiler gets only the flags it understands.
if(MSVC)
    # /fp:strict never contracts, in every compiler version (/fp:precise does in older ones).
    add_compile_options(/W4 /WX /fp:strict /permissive- /utf-8)
    # fopen and strncpy are used as the C standard defines them.
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
    # The host's exported classes hold standard-library members (C4251): host and plug-ins
    # are built with one compiler and one runtime, as the host's plug-in interface requires.
    add_compile_options(/wd4251)
else()
    add_compile_options(-Wall -Wextra -Werror -ffp-contract=off -fno-fast-math)
endif()

if(MINGW)
    # A host machine has no MinGW runtime DLLs: libgcc, libstdc++ and winpthreads are linked
    # into every DLL and program.
    add_link_options(-static)
endif()

if(WIN32)
    # <windows.h> without its rarely used parts, and without the min and max macros that would
    # break std::min and std::max.
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
    # Programs and DLLs side by side, where the Windows loader looks for a program's DLLs.
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endif()

if(KESTROM_SANITIZE)
    if(MSVC OR MINGW)
        message(FATAL_ERROR "KESTROM_SANITIZE needs GCC or Clang on Linux")
    endif()
    add_compile_options(-fsanitize=${KESTROM_SANITIZE} -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KESTROM_SANITIZE})
endif()

# A shared library of the folder's src/*.cpp that exports only what its API macro marks, as the
# real engine's DLL does: `build_define` is set while the library is built, which turns the
# macro into the export attribute.
function(kestrom_shared_library name build_define)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp)
    add_library(${name} SHARED ${sources})
    target_include_directories(${name} PUBLIC include PRIVATE src)
    target_compile_definitions(${name} PRIVATE ${build_define})
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
    find_package(Threads REQUIRED)
    target_link_libraries(${name} PUBLIC Threads::Threads)
endfunction()

# Tests are registered with this helper so that sanitizer builds can choose which run.
# LABELS "threaded" marks suites that exercise the worker thread. A cross build lists the
# test cases when ctest runs (through the emulator), not while building.
function(kestrom_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    # tests/portable: what tests need to run alike on Linux and Windows.
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    include(GoogleTest)
    if(CMAKE_CROSSCOMPILING)
        set(discovery DISCOVERY_MODE PRE_TEST)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" DISCOVERY_TIMEOUT 60
                         ${discovery})
endfunction()
