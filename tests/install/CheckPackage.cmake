# Builds the release package of BUILD_DIR with cpack into WORK_DIR, unpacks it the way the user's
# guide says and fails unless it holds what a user of this platform needs at the documented
# places. On Linux, with PROBE (the loader probe) and RUNTIME (a runtime manifest), it also follows
# the guide through the system's OpenXR loader: unpacked into a prefix whose share/ the loader
# searches (as it searches /usr/local/share), the layer is registered as it stands; unpacked
# elsewhere, the packaged install-layer.sh registers it for the user.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config "${BUILD_DIR}/CPackConfig.cmake"
                        -B "${WORK_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()

set(layer XR_APILAYER_TARVEX_tracking_override)
if(WINDOWS)
    set(pattern "tarvex_tracking-${VERSION}-standin-windows-x64.zip")
    set(expected
        tarvex_tracking.dll
        ${layer}.json
        install-layer.ps1
        TarvexOpenXRConfig.ini
        README.md
        LICENSE
        tarvex-mocap-sim.exe)
else()
    set(pattern "tarvex_tracking-${VERSION}-standin-linux-*.tar.gz")
    set(expected
        ${LIBDIR}/libtarvex_tracking.so
        bin/tarvex-check
        bin/tarvex-mocap-sim
        share/man/man1/tarvex-check.1.gz
        share/man/man1/tarvex-mocap-sim.1.gz
        share/openxr/1/api_layers/implicit.d/${layer}.json
        share/tarvex_tracking/install-layer.sh
        share/tarvex_tracking/installed-files.txt
        share/tarvex_tracking/installed-files.sha256
        share/tarvex_tracking/${layer}.json
        share/tarvex_tracking/TarvexOpenXRConfig.ini
        share/doc/tarvex-tracking/README.md
        share/doc/tarvex-tracking/LICENSE)
endif()
file(GLOB archives "${WORK_DIR}/${pattern}")
list(LENGTH archives archive_count)
if(NOT archive_count EQUAL 1)
    message(FATAL_ERROR "expected one ${pattern} in ${WORK_DIR}, found '${archives}'")
endif()
message(STATUS "package: ${archives}")

# The guide: unpack into the folder that is to hold the layer (/usr/local, or C:\Program
# Files\TarvexOpenXR); the archive has no folder of its own at the top.
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${archives}"
    WORKING_DIRECTORY "${prefix}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${archives}")
endif()
file(GLOB_RECURSE present RELATIVE "${prefix}" "${prefix}/*")
foreach(entry IN LISTS expected)
    if(NOT EXISTS "${prefix}/${entry}")
        message(FATAL_ERROR "${entry} missing from the unpacked package; it holds:\n${present}")
    endif()
endforeach()

# The loader resolves a relative library path against the manifest's own folder.
function(expect_library_path manifest_file library_file)
    file(READ "${manifest_file}" manifest)
    string(JSON library_path GET "${manifest}" api_layer library_path)
    get_filename_component(manifest_dir "${manifest_file}" DIRECTORY)
    get_filename_component(resolved "${library_path}" ABSOLUTE BASE_DIR "${manifest_dir}")
    if(IS_ABSOLUTE "${library_path}" OR NOT resolved STREQUAL "${library_file}")
        message(FATAL_ERROR "${manifest_file}: library_path '${library_path}' does not lead to "
            "${library_file} (it leads to ${resolved})")
    endif()
endfunction()

if(WINDOWS)
    expect_library_path("${prefix}/${layer}.json" "${prefix}/tarvex_tracking.dll")
    message(STATUS "package holds: ${expected}")
    return()
endif()
expect_library_path("${prefix}/share/openxr/1/api_layers/implicit.d/${layer}.json"
    "${prefix}/${LIBDIR}/libtarvex_tracking.so")
# install-layer.sh --uninstall removes what the shipped list names: it must name every file of the
# archive and nothing else, and as folders only the package's own.
file(STRINGS "${prefix}/share/tarvex_tracking/installed-files.txt" listed)
set(listed_files "${listed}")
list(FILTER listed_files EXCLUDE REGEX "/$")
set(listed_dirs "${listed}")
list(FILTER listed_dirs INCLUDE REGEX "/$")
set(archive_files "${present}")
list(SORT archive_files)
list(SORT listed_files)
if(NOT listed_files STREQUAL archive_files)
    message(FATAL_ERROR "installed-files.txt lists\n${listed_files}\nbut the archive holds\n"
        "${archive_files}")
endif()
if(NOT listed_dirs STREQUAL "share/doc/tarvex-tracking/;share/tarvex_tracking/")
    message(FATAL_ERROR "installed-files.txt names as its own folders: ${listed_dirs}")
endif()
# Every file but the checksums' own has its checksum, of the file as packed.
file(STRINGS "${prefix}/share/tarvex_tracking/installed-files.sha256" sums)
set(summed "")
foreach(line IN LISTS sums)
    if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
        message(FATAL_ERROR "installed-files.sha256: a line not in sha256sum's format: '${line}'")
    endif()
    set(hash "${CMAKE_MATCH_1}")
    set(entry "${CMAKE_MATCH_2}")
    file(SHA256 "${prefix}/${entry}" actual)
    if(NOT hash STREQUAL actual)
        message(FATAL_ERROR "installed-files.sha256 has ${hash} for ${entry}, which is ${actual}")
    endif()
    list(APPEND summed "${entry}")
endforeach()
set(expected_summed "${listed_files}")
list(REMOVE_ITEM expected_summed share/tarvex_tracking/installed-files.sha256)
list(SORT summed)
if(NOT summed STREQUAL expected_summed)
    message(FATAL_ERROR "installed-files.sha256 covers\n${summed}\ninstead of\n${expected_summed}")
endif()
message(STATUS "package holds: ${expected}")

# Runs the install-layer.sh of an unpacked copy with the given data home; sets status and output.
function(run_script result_prefix copy data_home)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${data_home}"
            "XDG_CONFIG_HOME=${WORK_DIR}/script-config"
            "${copy}/share/tarvex_tracking/install-layer.sh" ${ARGN}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(${result_prefix}_status "${status}" PARENT_SCOPE)
    set(${result_prefix}_output "${output}" PARENT_SCOPE)
endfunction()
function(expect_text output text what)
    string(FIND "${output}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: expected '${text}' in:\n${output}")
    endif()
endfunction()

# Two copies unpacked into folders of their own, the other one registered for the user: the
# uninstall of the first leaves the other's registration and a file changed since unpacking,
# and no folder that held only the package's files; the other's own uninstall then leaves nothing.
set(mine "${WORK_DIR}/mine")
set(other "${WORK_DIR}/other")
set(copies_data "${WORK_DIR}/copies-data")
set(registered "${copies_data}/openxr/1/api_layers/implicit.d/${layer}.json")
foreach(copy IN ITEMS "${mine}" "${other}")
    file(MAKE_DIRECTORY "${copy}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${archives}" WORKING_DIRECTORY "${copy}")
endforeach()
run_script(register "${other}" "${copies_data}")
if(NOT register_status EQUAL 0 OR NOT EXISTS "${registered}")
    message(FATAL_ERROR "install-layer.sh of the other copy failed:\n${register_output}")
endif()
set(changed share/doc/tarvex-tracking/README.md)
file(APPEND "${mine}/${changed}" "a note of the user's\n")
run_script(mine "${mine}" "${copies_data}" --uninstall)
if(mine_status EQUAL 0)
    message(FATAL_ERROR "--uninstall left a changed file and said nothing of it:\n${mine_output}")
endif()
expect_text("${mine_output}" "left ${mine}/${changed} in place: it changed since it was installed"
    "the uninstall of a copy with a changed file")
expect_text("${mine_output}" "left the implicit layer manifest ${registered} in place: it registers ${other}/"
    "the uninstall of a copy that is not registered")
if(NOT EXISTS "${registered}")
    message(FATAL_ERROR "the uninstall of one copy removed the registration of another:\n"
        "${mine_output}")
endif()
file(GLOB_RECURSE remaining LIST_DIRECTORIES true RELATIVE "${mine}" "${mine}/*")
list(SORT remaining)
set(expected_remaining share share/doc share/doc/tarvex-tracking ${changed})
if(NOT remaining STREQUAL expected_remaining)
    message(FATAL_ERROR "after the uninstall with a changed file the copy holds\n${remaining}\n"
        "instead of\n${expected_remaining}\nIt said:\n${mine_output}")
endif()
run_script(other "${other}" "${copies_data}" --uninstall)
if(NOT other_status EQUAL 0)
    message(FATAL_ERROR "the other copy's uninstall failed:\n${other_output}")
endif()
expect_text("${other_output}" "removed the implicit layer manifest ${registered}"
    "the uninstall of the registered copy")
file(GLOB_RECURSE remaining LIST_DIRECTORIES true "${other}/*")
if(EXISTS "${registered}" OR remaining)
    message(FATAL_ERROR "after its uninstall the copy leaves\n${remaining}\nIt said:\n"
        "${other_output}")
endif()
message(STATUS "install-layer.sh --uninstall of a copy leaves another's registration, changed "
    "files and nothing else")

# A /usr/local that others use too: the packaged install-layer.sh --uninstall removes the
# tarball's files and its own folders, and nothing else, not even a folder left empty.
set(shared "${WORK_DIR}/usrlocal")
# bin/ holds nothing else: emptied by the uninstall, it must stay all the same.
set(others lib/libother.so share/man/man1/other-tool.1.gz
    share/doc/other/README share/openxr/1/api_layers/implicit.d/other_layer.json)
foreach(entry IN LISTS others)
    get_filename_component(folder "${shared}/${entry}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(WRITE "${shared}/${entry}" "someone else's\n")
endforeach()
file(MAKE_DIRECTORY "${shared}/include" "${shared}/bin")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${archives}"
    WORKING_DIRECTORY "${shared}" RESULT_VARIABLE status)
execute_process(COMMAND "${shared}/share/tarvex_tracking/install-layer.sh" --version
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "^install-layer.sh \\(tarvex_tracking\\) ${VERSION}\n$")
    message(FATAL_ERROR "install-layer.sh --version printed '${output}' (${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${WORK_DIR}/uninstall-data"
        "XDG_CONFIG_HOME=${WORK_DIR}/uninstall-config"
        "${shared}/share/tarvex_tracking/install-layer.sh" --uninstall
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "install-layer.sh --uninstall failed:\n${output}")
endif()
file(GLOB_RECURSE remaining LIST_DIRECTORIES true RELATIVE "${shared}" "${shared}/*")
list(SORT remaining)
set(expected_remaining ${others} bin include lib share share/doc share/doc/other share/man
    share/man/man1 share/openxr share/openxr/1 share/openxr/1/api_layers
    share/openxr/1/api_layers/implicit.d)
list(SORT expected_remaining)
if(NOT remaining STREQUAL expected_remaining)
    message(FATAL_ERROR "after install-layer.sh --uninstall in a shared prefix the prefix holds\n"
        "${remaining}\ninstead of\n${expected_remaining}\nIt said:\n${output}")
endif()
message(STATUS "install-layer.sh --uninstall removed the tarball's files and only those")
if(NOT PROBE)
    return()
endif()

set(load_line
    "OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.")
file(MAKE_DIRECTORY "${WORK_DIR}/none" "${WORK_DIR}/config")
# The loader sees the runtime and what the given data folders hold, nothing of this machine's.
function(run_probe result_var data_home data_dirs config)
    if(config)
        set(config_setting "TARVEX_OPENXR_CONFIG=${config}")
    else()
        set(config_setting "--unset=TARVEX_OPENXR_CONFIG")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "XR_RUNTIME_JSON=${RUNTIME}"
            "XDG_DATA_HOME=${data_home}" "XDG_DATA_DIRS=${data_dirs}"
            "XDG_CONFIG_HOME=${WORK_DIR}/config" "XDG_CONFIG_DIRS=${WORK_DIR}/none"
            "HOME=${WORK_DIR}/none" --unset=XR_API_LAYER_PATH --unset=XR_ENABLE_API_LAYERS
            --unset=DISABLE_TARVEX_TRACKING_OVERRIDE ${config_setting}
            "${PROBE}" --create-instance
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "the probe failed:\n${output}")
    endif()
    set(${result_var} "${output}" PARENT_SCOPE)
endfunction()
function(expect_loaded output what)
    string(FIND "${output}" "${load_line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: the loader did not load the layer:\n${output}")
    endif()
endfunction()

# Into a prefix the loader searches: registered for every process that names a configuration,
# absent from every other.
run_probe(output "${WORK_DIR}/none" "${prefix}/share" "${WORK_DIR}/config")
expect_loaded("${output}" "unpacked into a searched prefix, TARVEX_OPENXR_CONFIG set")
run_probe(output "${WORK_DIR}/none" "${prefix}/share" "")
string(FIND "${output}" "${layer}" at)
if(NOT at EQUAL -1)
    message(FATAL_ERROR "without TARVEX_OPENXR_CONFIG the loader still found the layer:\n${output}")
endif()

# Anywhere else: the packaged script registers it for the user.
execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${WORK_DIR}/data"
        "XDG_CONFIG_HOME=${WORK_DIR}/config" "${prefix}/share/tarvex_tracking/install-layer.sh"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "install-layer.sh failed:\n${output}")
endif()
run_probe(output "${WORK_DIR}/data" "${WORK_DIR}/none" "${WORK_DIR}/config/tarvex")
expect_loaded("${output}" "registered by the packaged install-layer.sh")
message(STATUS "the unpacked package registers the layer, as installed and through its script")
