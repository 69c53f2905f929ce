# Project-wide compile settings. Results must be bit-reproducible: no contraction of
# a*b+c into fused multiply-adds and no value-changing floating-point optimisation.
add_compile_options(-Wall -Wextra -Werror -ffp-contract=off -fno-fast-math)

if(KESTROM_SANITIZE)
    add_compile_options(-fsanitize=${KESTROM_SANITIZE} -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KESTROM_SANITIZE})
endif()

# Tests are registered with this helper so that sanitizer builds can choose which run.
# LABELS "threaded" marks suites that exercise the worker thread.
function(kestrom_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    include(GoogleTest)
    gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" DISCOVERY_TIMEOUT 60)
endfunction()
