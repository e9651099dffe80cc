# What users get: the layer library, its manifest, the install script, a commented sample
# configuration and a short README. A ZIP for Windows, a tarball for Linux.
include(GNUInstallDirs)

set(_tarvex_manifest "${CMAKE_BINARY_DIR}/layer/XR_APILAYER_TARVEX_tracking_override.json")
set(_tarvex_user_files
    "${PROJECT_SOURCE_DIR}/install/TarvexOpenXRConfig.ini"
    "${PROJECT_SOURCE_DIR}/install/README.md")

if(WIN32)
    # Everything sits in one folder beside the DLL; the manifest names it by a relative path.
    install(FILES ${_tarvex_manifest} ${_tarvex_user_files}
        "${PROJECT_SOURCE_DIR}/install/install-layer.ps1"
        DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(CPACK_GENERATOR ZIP)
    set(_tarvex_system windows-x64)
else()
    set(_tarvex_user_dir "${CMAKE_INSTALL_DATADIR}/tarvex_tracking")
    # The script registers the library it was shipped with, wherever the package was unpacked.
    file(RELATIVE_PATH TARVEX_SCRIPT_TO_LIBRARY "/prefix/${_tarvex_user_dir}"
        "/prefix/${CMAKE_INSTALL_LIBDIR}/libtarvex_tracking.so")
    configure_file("${PROJECT_SOURCE_DIR}/install/install-layer.sh.in"
        "${CMAKE_BINARY_DIR}/install/install-layer.sh" @ONLY)
    install(PROGRAMS "${CMAKE_BINARY_DIR}/install/install-layer.sh"
        DESTINATION ${_tarvex_user_dir})
    install(FILES ${_tarvex_manifest} ${_tarvex_user_files} DESTINATION ${_tarvex_user_dir})
    set(CPACK_GENERATOR TGZ)
    set(_tarvex_system linux-${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_PACKAGE_NAME tarvex_tracking)
set(CPACK_PACKAGE_VENDOR Tarvex)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "OpenXR API layer that takes the headset pose from a motion-capture system")
set(CPACK_PACKAGE_FILE_NAME "tarvex_tracking-${PROJECT_VERSION}-${_tarvex_system}")
set(CPACK_STRIP_FILES TRUE)
include(CPack)
