# Manual pages of the installed tools, made by help2man from their --help and compressed the
# reproducible way Debian wants. Included by PackagingLinux.cmake.
if(NOT TARGET tarvex-check OR CMAKE_CROSSCOMPILING)
    return()
endif()
find_program(TARVEX_HELP2MAN help2man)
if(NOT TARVEX_HELP2MAN)
    message(WARNING "help2man not found (scripts/install-deps.sh installs it): the packages get no "
        "manual pages")
    return()
endif()
set(_tarvex_man_dir "${CMAKE_BINARY_DIR}/install/man")
set(_tarvex_man_guide "share/doc/${TARVEX_DEB_PACKAGE_NAME}/README.md")

# help2man gets its version line from here, not from --version: the tools' own line carries the
# build flavour in parentheses, which help2man cannot parse. The flavour gets a section of its own,
# and SEE ALSO points to the guide and what else helps with the tool (roff text).
set(_tarvex_man_guide_text "The user's guide, /usr/${_tarvex_man_guide} (or ${_tarvex_man_guide} of
the folder the tarball was unpacked into).")
function(tarvex_manual_page tool name see_also)
    set(page "${_tarvex_man_dir}/${tool}.1")
    set(include "${_tarvex_man_dir}/${tool}.h2m")
    file(WRITE "${include}" "[BUILD]
Build flavour: ${TARVEX_FLAVOUR_TEXT}.

[SEE ALSO]
${_tarvex_man_guide_text}
.PP
${see_also}
")
    add_custom_command(OUTPUT "${page}.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${_tarvex_man_dir}"
        COMMAND ${TARVEX_HELP2MAN} --no-info --section=1 "--name=${name}"
                "--version-string=${tool} ${PROJECT_VERSION}" "--include=${include}"
                "--output=${page}" $<TARGET_FILE:${tool}>
        COMMAND gzip -9nf "${page}"
        DEPENDS ${tool} "${include}" VERBATIM)
    add_custom_target(tarvex_manual_page_${tool} ALL DEPENDS "${page}.gz")
    add_dependencies(tarvex_manual_pages tarvex_manual_page_${tool})
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT common)
    list(APPEND TARVEX_PACKAGE_FILES "${CMAKE_INSTALL_MANDIR}/man1/${tool}.1.gz")
    set(TARVEX_PACKAGE_FILES "${TARVEX_PACKAGE_FILES}" PARENT_SCOPE)
endfunction()

add_custom_target(tarvex_manual_pages ALL)
tarvex_manual_page(tarvex-check
    "tell whether the tarvex_tracking OpenXR layer is registered, configured and receiving the headset"
    "The layer's log file, tarvex_tracking.log, beside TarvexOpenXRConfig.ini in the folder named
by TARVEX_OPENXR_CONFIG, or in ~/.local/state/tarvex ($XDG_STATE_HOME/tarvex) when that folder
cannot be written; tarvex-check prints where it is.")
# A stand-in build ships the simulator, the only server its layer and tarvex-check talk to.
if(TARGET tarvex-mocap-sim AND TARVEX_CLIENT_STANDIN)
    tarvex_manual_page(tarvex-mocap-sim
        "simulated motion-capture server for the stand-in build of the tarvex_tracking layer"
        ".BR tarvex-check (1),
which tells whether the layer receives the simulator's headset, and the layer's log file,
tarvex_tracking.log, whose place tarvex-check prints.")
endif()
