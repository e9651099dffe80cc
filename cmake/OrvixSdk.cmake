# The implementation of the motion-capture client library that the layer and tarvex-check link,
# as the target orvix_client: our stand-in by default, the vendor's library when
# TARVEX_ORVIX_SDK_DIR names its SDK (a folder with include/OrvixLib.h and the library in lib/).
# The tracker is compiled against our declaration (tracking/OrvixLib.h), which pins the record
# layouts of the vendor's binary interface; the SDK's header is only required to be there.
set(TARVEX_ORVIX_SDK_DIR "" CACHE PATH
    "The vendor's client-library SDK (include/OrvixLib.h, lib/); empty: link the stand-in")
set(TARVEX_ORVIX_SDK_LIBRARY_NAME OrvixLib CACHE STRING
    "The SDK library's name without prefix or suffix (OrvixLib finds OrvixLib.lib, libOrvixLib.a, libOrvixLib.so)")
set(TARVEX_ORVIX_SDK_VERSION "" CACHE STRING
    "The vendor SDK's version, for the build flavour that packages and tools report (empty: unknown)")

# The build flavour: which client library this build links. Packages carry its tag in their file
# names, and the tools and the log file say it, since a stand-in build talks only to the simulator.
add_library(orvix_client INTERFACE)
if(NOT TARVEX_ORVIX_SDK_DIR)
    target_link_libraries(orvix_client INTERFACE orvix_standin)
    set(TARVEX_CLIENT_STANDIN true)
    set(TARVEX_FLAVOUR_TAG standin)
    set(TARVEX_FLAVOUR_TEXT "stand-in client library, talks only to tarvex-mocap-sim")
    message(STATUS "Motion-capture client library: the stand-in (talks only to tarvex-mocap-sim; "
        "set TARVEX_ORVIX_SDK_DIR to build against the vendor's SDK)")
    return()
endif()
set(TARVEX_CLIENT_STANDIN false)
if(TARVEX_ORVIX_SDK_VERSION)
    string(REGEX REPLACE "[^A-Za-z0-9.]" "" _orvix_version_tag "${TARVEX_ORVIX_SDK_VERSION}")
    set(TARVEX_FLAVOUR_TAG "orvix${_orvix_version_tag}")
    set(TARVEX_FLAVOUR_TEXT "vendor client library OrvixLib ${TARVEX_ORVIX_SDK_VERSION}")
else()
    set(TARVEX_FLAVOUR_TAG orvix)
    set(TARVEX_FLAVOUR_TEXT "vendor client library OrvixLib, version not given")
endif()

cmake_path(ABSOLUTE_PATH TARVEX_ORVIX_SDK_DIR NORMALIZE OUTPUT_VARIABLE _orvix_sdk)
# A changed SDK folder or name must not keep what was found in the previous one.
if(NOT "${_orvix_sdk}|${TARVEX_ORVIX_SDK_LIBRARY_NAME}" STREQUAL "${_TARVEX_ORVIX_SDK_SEARCHED}")
    unset(TARVEX_ORVIX_SDK_INCLUDE_DIR CACHE)
    unset(TARVEX_ORVIX_SDK_LIBRARY CACHE)
    unset(TARVEX_ORVIX_SDK_RUNTIME CACHE)
    set(_TARVEX_ORVIX_SDK_SEARCHED "${_orvix_sdk}|${TARVEX_ORVIX_SDK_LIBRARY_NAME}" CACHE INTERNAL "")
endif()

find_path(TARVEX_ORVIX_SDK_INCLUDE_DIR OrvixLib.h
    PATHS "${_orvix_sdk}/include" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_library(TARVEX_ORVIX_SDK_LIBRARY NAMES ${TARVEX_ORVIX_SDK_LIBRARY_NAME}
    PATHS "${_orvix_sdk}/lib" "${_orvix_sdk}/lib/x64" "${_orvix_sdk}/lib64"
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TARVEX_ORVIX_SDK_INCLUDE_DIR OR NOT TARVEX_ORVIX_SDK_LIBRARY)
    message(FATAL_ERROR "TARVEX_ORVIX_SDK_DIR=${_orvix_sdk} is not a client-library SDK: "
        "expected include/OrvixLib.h and the library ${TARVEX_ORVIX_SDK_LIBRARY_NAME} in lib/ "
        "(header: ${TARVEX_ORVIX_SDK_INCLUDE_DIR}; library: ${TARVEX_ORVIX_SDK_LIBRARY})")
endif()

# A Windows SDK with a DLL links its import library and ships the DLL; a .so is shipped too.
if(WIN32)
    find_file(TARVEX_ORVIX_SDK_RUNTIME ${TARVEX_ORVIX_SDK_LIBRARY_NAME}.dll
        PATHS "${_orvix_sdk}/bin" "${_orvix_sdk}/bin/x64" "${_orvix_sdk}/lib" "${_orvix_sdk}/lib/x64"
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
elseif(TARVEX_ORVIX_SDK_LIBRARY MATCHES "\\.so(\\.[0-9.]+)?$")
    set(TARVEX_ORVIX_SDK_RUNTIME "${TARVEX_ORVIX_SDK_LIBRARY}" CACHE FILEPATH "" FORCE)
endif()

if(TARVEX_ORVIX_SDK_RUNTIME)
    add_library(orvix_sdk SHARED IMPORTED)
    set_target_properties(orvix_sdk PROPERTIES IMPORTED_LOCATION "${TARVEX_ORVIX_SDK_RUNTIME}")
    if(WIN32)
        set_target_properties(orvix_sdk PROPERTIES IMPORTED_IMPLIB "${TARVEX_ORVIX_SDK_LIBRARY}")
    endif()
else()
    # A static library brings no dependencies of its own along: the ones a socket library needs.
    add_library(orvix_sdk STATIC IMPORTED)
    set_target_properties(orvix_sdk PROPERTIES IMPORTED_LOCATION "${TARVEX_ORVIX_SDK_LIBRARY}")
    target_link_libraries(orvix_sdk INTERFACE Threads::Threads $<$<PLATFORM_ID:Windows>:ws2_32>)
endif()
target_include_directories(orvix_sdk INTERFACE "${TARVEX_ORVIX_SDK_INCLUDE_DIR}")
target_link_libraries(orvix_client INTERFACE orvix_sdk)
message(STATUS "Motion-capture client library: ${TARVEX_FLAVOUR_TEXT}: "
    "${TARVEX_ORVIX_SDK_LIBRARY} (SDK ${_orvix_sdk})")

# The vendor's shared library goes into the layer's private folder, and the layer looks for it
# there: never into the shared library folder, where it would overwrite the vendor SDK's own copy
# in a prefix such as /usr/local (and the tarball's uninstall would then delete that).
if(TARVEX_ORVIX_SDK_RUNTIME)
    include(GNUInstallDirs)
    if(WIN32)
        install(FILES "${TARVEX_ORVIX_SDK_RUNTIME}" DESTINATION ${CMAKE_INSTALL_BINDIR})
    else()
        # The file and its version links, so that the name the layer records resolves.
        get_filename_component(_orvix_runtime_dir "${TARVEX_ORVIX_SDK_RUNTIME}" DIRECTORY)
        file(GLOB _orvix_runtime_files
            "${_orvix_runtime_dir}/lib${TARVEX_ORVIX_SDK_LIBRARY_NAME}.so*")
        # Beside the layer's library, which sits in the library folder: lib/tarvex_tracking.
        set(TARVEX_VENDOR_RUNTIME_DIR "${CMAKE_INSTALL_LIBDIR}/tarvex_tracking")
        install(FILES ${_orvix_runtime_files} DESTINATION ${TARVEX_VENDOR_RUNTIME_DIR}
            COMPONENT tarball)
        if(CMAKE_LIBRARY_ARCHITECTURE)
            install(FILES ${_orvix_runtime_files}
                DESTINATION "lib/${CMAKE_LIBRARY_ARCHITECTURE}/tarvex_tracking"
                COMPONENT debian EXCLUDE_FROM_ALL)
        endif()
        foreach(_orvix_file IN LISTS _orvix_runtime_files)
            get_filename_component(_orvix_name "${_orvix_file}" NAME)
            list(APPEND TARVEX_VENDOR_RUNTIME_FILES "${TARVEX_VENDOR_RUNTIME_DIR}/${_orvix_name}")
        endforeach()
        list(APPEND TARVEX_VENDOR_RUNTIME_FILES "${TARVEX_VENDOR_RUNTIME_DIR}/")
    endif()
endif()
