# What users get: the layer library, its manifest, the install script, a commented sample
# configuration, a short README and the licence. A ZIP for Windows, a tarball for Linux; neither
# has a folder of its own at the top, so each unpacks straight into the folder it is unpacked in
# (for the tarball, /usr/local registers the layer as it stands).
include(GNUInstallDirs)

set(_tarvex_manifest "${CMAKE_BINARY_DIR}/layer/XR_APILAYER_TARVEX_tracking_override.json")
set(_tarvex_sample_config "${PROJECT_SOURCE_DIR}/install/TarvexOpenXRConfig.ini")
set(_tarvex_user_files
    "${_tarvex_sample_config}"
    "${PROJECT_SOURCE_DIR}/install/README.md"
    "${PROJECT_SOURCE_DIR}/LICENSE")

if(WIN32)
    # Everything sits in one folder beside the DLL; the manifest names it by a relative path.
    install(FILES ${_tarvex_manifest} ${_tarvex_user_files}
        "${PROJECT_SOURCE_DIR}/install/install-layer.ps1"
        DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(CPACK_GENERATOR ZIP)
    set(_tarvex_system windows-x64)
else()
    set(_tarvex_user_dir "${CMAKE_INSTALL_DATADIR}/tarvex_tracking")
    # install-layer.sh twice: the packaged one registers the library it was shipped with,
    # wherever the package was unpacked; the build tree's one registers the build's library.
    file(RELATIVE_PATH _tarvex_script_to_library "/prefix/${_tarvex_user_dir}"
        "/prefix/${CMAKE_INSTALL_LIBDIR}/libtarvex_tracking.so")
    set(TARVEX_SCRIPT_LIBRARY "\$here/${_tarvex_script_to_library}")
    set(TARVEX_SCRIPT_MANIFEST "\$here/XR_APILAYER_TARVEX_tracking_override.json")
    set(TARVEX_SCRIPT_SAMPLE_CONFIG "\$here/TarvexOpenXRConfig.ini")
    configure_file("${PROJECT_SOURCE_DIR}/install/install-layer.sh.in"
        "${CMAKE_BINARY_DIR}/install/package/install-layer.sh" @ONLY)
    install(PROGRAMS "${CMAKE_BINARY_DIR}/install/package/install-layer.sh"
        DESTINATION ${_tarvex_user_dir})
    install(FILES ${_tarvex_manifest} ${_tarvex_user_files} DESTINATION ${_tarvex_user_dir})

    set(TARVEX_SCRIPT_LIBRARY "$<TARGET_FILE:tarvex_tracking>")
    set(TARVEX_SCRIPT_MANIFEST "${_tarvex_manifest}")
    set(TARVEX_SCRIPT_SAMPLE_CONFIG "${_tarvex_sample_config}")
    configure_file("${PROJECT_SOURCE_DIR}/install/install-layer.sh.in"
        "${CMAKE_BINARY_DIR}/install/install-layer.sh.gen" @ONLY)
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/install/install-layer.sh"
        INPUT "${CMAKE_BINARY_DIR}/install/install-layer.sh.gen"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    set(CPACK_GENERATOR TGZ)
    set(_tarvex_system linux-${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_PACKAGE_NAME tarvex_tracking)
set(CPACK_PACKAGE_VENDOR Tarvex)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "OpenXR API layer that takes the headset pose from a motion-capture system")
set(CPACK_PACKAGE_FILE_NAME "tarvex_tracking-${PROJECT_VERSION}-${_tarvex_system}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
