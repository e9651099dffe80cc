# Builds the release package of BUILD_DIR with cpack into WORK_DIR, unpacks it and fails unless it
# holds what a user of this platform needs.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked")
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config "${BUILD_DIR}/CPackConfig.cmake"
                        -B "${WORK_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()

if(WINDOWS)
    set(pattern "*.zip")
    set(expected
        tarvex_tracking.dll
        XR_APILAYER_TARVEX_tracking_override.json
        install-layer.ps1
        TarvexOpenXRConfig.ini
        README.md)
else()
    set(pattern "*.tar.gz")
    set(expected
        lib/libtarvex_tracking.so
        share/tarvex_tracking/install-layer.sh
        share/tarvex_tracking/XR_APILAYER_TARVEX_tracking_override.json
        share/tarvex_tracking/TarvexOpenXRConfig.ini
        share/tarvex_tracking/README.md)
endif()
file(GLOB archives "${WORK_DIR}/${pattern}")
list(LENGTH archives archive_count)
if(NOT archive_count EQUAL 1)
    message(FATAL_ERROR "expected one ${pattern} in ${WORK_DIR}, found '${archives}'")
endif()
message(STATUS "package: ${archives}")

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${archives}"
    WORKING_DIRECTORY "${WORK_DIR}/unpacked" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${archives}")
endif()
file(GLOB top "${WORK_DIR}/unpacked/*")
foreach(entry IN LISTS expected)
    if(NOT EXISTS "${top}/${entry}")
        file(GLOB_RECURSE present RELATIVE "${top}" "${top}/*")
        message(FATAL_ERROR "${entry} missing from the package; it holds:\n${present}")
    endif()
endforeach()

# On Windows the loader resolves the library path against the manifest's own folder.
if(WINDOWS)
    file(READ "${top}/XR_APILAYER_TARVEX_tracking_override.json" manifest)
    string(JSON library_path GET "${manifest}" api_layer library_path)
    if(NOT EXISTS "${top}/${library_path}" OR IS_ABSOLUTE "${library_path}")
        message(FATAL_ERROR "the manifest's library_path '${library_path}' does not lead to the DLL")
    endif()
endif()
message(STATUS "package holds: ${expected}")
