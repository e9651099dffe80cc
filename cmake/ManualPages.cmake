# Manual pages of the installed tools, made by help2man from their --help and --version and
# compressed the reproducible way Debian wants. Included by PackagingLinux.cmake.
if(NOT TARGET tarvex-check OR CMAKE_CROSSCOMPILING)
    return()
endif()
find_program(TARVEX_HELP2MAN help2man)
if(NOT TARVEX_HELP2MAN)
    message(WARNING "help2man not found (scripts/install-deps.sh installs it): the packages get no "
        "manual pages")
    return()
endif()
set(_tarvex_man_page "${CMAKE_BINARY_DIR}/install/man/tarvex-check.1")
add_custom_command(OUTPUT "${_tarvex_man_page}.gz"
    COMMAND ${TARVEX_HELP2MAN} --no-info --section=1
            "--name=tell whether the tarvex_tracking OpenXR layer is registered, configured and receiving the headset"
            --output=${_tarvex_man_page} $<TARGET_FILE:tarvex-check>
    COMMAND gzip -9nf ${_tarvex_man_page}
    DEPENDS tarvex-check VERBATIM)
add_custom_target(tarvex_manual_pages ALL DEPENDS "${_tarvex_man_page}.gz")
install(FILES "${_tarvex_man_page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT common)
list(APPEND TARVEX_PACKAGE_FILES "${CMAKE_INSTALL_MANDIR}/man1/tarvex-check.1.gz")
