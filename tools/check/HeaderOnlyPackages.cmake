# CLI11 and nlohmann-json come from Debian's header-only packages in /usr/include. A cross build
# confines its searches to the MinGW root, where they are not, and must not put the host's
# /usr/include on the include path (its C library headers would shadow MinGW's): it gets a folder
# of its own that links to just these two headers' folders.
function(tarvex_header_only_package target header folder)
    find_path(_found_${target} NAMES ${header} HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH)
    if(NOT _found_${target})
        message(FATAL_ERROR "${header} not found: install the Debian package (scripts/install-deps.sh)")
    endif()
    set(_include_dir ${_found_${target}})
    if(CMAKE_CROSSCOMPILING)
        set(_include_dir ${CMAKE_CURRENT_BINARY_DIR}/host-headers/${target})
        file(MAKE_DIRECTORY ${_include_dir})
        file(CREATE_LINK ${_found_${target}}/${folder} ${_include_dir}/${folder} SYMBOLIC)
    endif()
    add_library(${target} INTERFACE)
    target_include_directories(${target} SYSTEM INTERFACE ${_include_dir})
endfunction()

tarvex_header_only_package(tarvex_check_cli11 CLI/CLI.hpp CLI)
tarvex_header_only_package(tarvex_check_json nlohmann/json.hpp nlohmann)
