# Third-party code for a cross build, whose package search sees only the target's tree.
#
# GoogleTest is built from Debian's sources. nlohmann-json, CLI11 and Eigen are header-only,
# so Debian's headers serve any target; but their package files name /usr/include, which would
# put every header of the Linux host on the compiler's path. Instead, a folder holding only
# links to those header trees stands in, and find_package() is redirected to it.
set(KESTROM_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
set(KESTROM_HOST_INCLUDE /usr/include CACHE PATH "Where the header-only libraries are")

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTROM_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The targets exist now; find_package(GTest) only has to accept that.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake "")

set(header_only ${PROJECT_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${header_only})
# `folder` is linked into the stand-in folder; the include path is that folder, or the linked
# folder itself when `below` is given (Eigen's headers live in /usr/include/eigen3/Eigen).
function(kestrom_header_only_package package target folder)
    if(NOT EXISTS ${KESTROM_HOST_INCLUDE}/${folder})
        return()  # find_package() then reports the package as missing
    endif()
    file(CREATE_LINK ${KESTROM_HOST_INCLUDE}/${folder} ${header_only}/${folder} SYMBOLIC)
    set(include_dir ${header_only})
    if(ARGV3 STREQUAL "below")
        set(include_dir ${header_only}/${folder})
    endif()
    string(TOLOWER ${package} lower)
    file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lower}-config.cmake
         "if(NOT TARGET ${target})\n"
         "    add_library(${target} INTERFACE IMPORTED)\n"
         "    set_target_properties(${target} PROPERTIES\n"
         "        INTERFACE_INCLUDE_DIRECTORIES \"${include_dir}\")\n"
         "endif()\n")
endfunction()
kestrom_header_only_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann)
kestrom_header_only_package(CLI11 CLI11::CLI11 CLI)
kestrom_header_only_package(Eigen3 Eigen3::Eigen eigen3 below)
