# Writes installed-files.sha256 beside installed-files.txt: the SHA-256 of each file the list
# names, in sha256sum's format, taken of the files as installed (stripped, in cpack), so that
# install-layer.sh --uninstall leaves alone what changed since. A link counts by its target's
# text; the checksums' own file has no line.
#
# Run twice over: at install time (install(CODE) of PackagingLinux.cmake, with TARVEX_SUMS_LIST,
# the list relative to the prefix), where cmake --install puts every file under one prefix; and
# by cpack before it packs (CPACK_PRE_BUILD_SCRIPTS, with CPACK_TARVEX_SUMS_LIST), where each
# component has a staging folder of its own, so the install-time file saw only its component's
# files and is written anew.

# output: the file to write; roots: the folders that hold the files, first match counts; list:
# installed-files.txt.
function(tarvex_write_file_sums output roots list)
    file(STRINGS "${list}" entries)
    set(lines "")
    foreach(entry IN LISTS entries)
        if(entry MATCHES "/$|/installed-files\\.sha256$")
            continue()
        endif()
        foreach(root IN LISTS roots)
            set(path "${root}/${entry}")
            if(IS_SYMLINK "${path}")
                file(READ_SYMLINK "${path}" target)
                string(SHA256 hash "symlink:${target}")
            elseif(EXISTS "${path}" AND NOT IS_DIRECTORY "${path}")
                file(SHA256 "${path}" hash)
            else()
                continue()
            endif()
            string(APPEND lines "${hash}  ${entry}\n")
            break()
        endforeach()
    endforeach()
    file(WRITE "${output}" "${lines}")
endfunction()

if(DEFINED TARVEX_SUMS_LIST)
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    get_filename_component(folder "${root}/${TARVEX_SUMS_LIST}" DIRECTORY)
    message(STATUS "Installing: ${folder}/installed-files.sha256")
    tarvex_write_file_sums("${folder}/installed-files.sha256" "${root}" "${root}/${TARVEX_SUMS_LIST}")
else()
    # The package's staging folder, or one per component below it.
    file(GLOB children LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
    set(roots "${CPACK_TEMPORARY_DIRECTORY}")
    foreach(child IN LISTS children)
        if(IS_DIRECTORY "${child}")
            list(APPEND roots "${child}")
        endif()
    endforeach()
    foreach(root IN LISTS roots)
        set(list "${root}/${CPACK_TARVEX_SUMS_LIST}")
        if(EXISTS "${list}")
            get_filename_component(folder "${list}" DIRECTORY)
            tarvex_write_file_sums("${folder}/installed-files.sha256" "${roots}" "${list}")
        endif()
    endforeach()
endif()
