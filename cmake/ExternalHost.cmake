# The host engine as a prebuilt library (KESTROM_HOST_LIBRARY, KESTROM_HOST_INCLUDE_DIR): the
# target kestrom_host stands for it, so that the plug-in links it as it links the stand-in.
# The command-line host, the Python module, benchmarks and fuzz targets need the stand-in's
# sources and are not built; of the tests only the plug-in's suites are.
if(NOT KESTROM_HOST_INCLUDE_DIR OR NOT EXISTS "${KESTROM_HOST_INCLUDE_DIR}/host/Vro_Channel.h")
    message(FATAL_ERROR "KESTROM_HOST_INCLUDE_DIR must be the folder that holds host/Vro_Channel.h "
                        "of the library KESTROM_HOST_LIBRARY (now '${KESTROM_HOST_INCLUDE_DIR}')")
endif()
if(NOT EXISTS "${KESTROM_HOST_LIBRARY}")
    message(FATAL_ERROR "KESTROM_HOST_LIBRARY: no such file: ${KESTROM_HOST_LIBRARY}")
endif()
add_library(kestrom_host SHARED IMPORTED GLOBAL)
if(WIN32)
    # Linking needs the import library only. Running the plug-in's suites needs the engine's
    # DLL too (KESTROM_HOST_RUNTIME): it is copied beside the programs, where Windows looks.
    set(KESTROM_HOST_RUNTIME "" CACHE FILEPATH "the host engine's DLL, to run the tests with")
    set_target_properties(kestrom_host PROPERTIES IMPORTED_IMPLIB "${KESTROM_HOST_LIBRARY}")
    if(KESTROM_HOST_RUNTIME)
        set_target_properties(kestrom_host PROPERTIES IMPORTED_LOCATION "${KESTROM_HOST_RUNTIME}")
        file(COPY "${KESTROM_HOST_RUNTIME}" DESTINATION "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    elseif(KESTROM_BUILD_TESTS)
        message(STATUS "KESTROM_HOST_RUNTIME not set: the plug-in's suites are not built")
        set(KESTROM_BUILD_TESTS OFF)
    endif()
else()
    set_target_properties(kestrom_host PROPERTIES IMPORTED_LOCATION "${KESTROM_HOST_LIBRARY}")
endif()
set_target_properties(kestrom_host PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                              "${KESTROM_HOST_INCLUDE_DIR}")
set(KESTROM_BUILD_SIM OFF)
set(KESTROM_BUILD_PYTHON OFF)
set(KESTROM_BUILD_BENCH OFF)
set(KESTROM_BUILD_FUZZ OFF)
message(STATUS "Host engine: ${KESTROM_HOST_LIBRARY}; building the plug-in only")
