# What users get: the layer library, its manifest, tarvex-check, a commented sample configuration,
# the guide and the licence. A ZIP for Windows; for Linux a tarball and a Debian package. Neither
# archive has a folder of its own at the top, so each unpacks straight into the folder it is
# unpacked in (for the tarball, /usr/local registers the layer as it stands).
#
# On Linux the install rules fall into three components: "common" (in both packages), "tarball"
# (what `cmake --install` and the tarball add: the library in the library folder, a manifest that
# names it relative to itself, install-layer.sh and the list of the tarball's files) and "debian"
# (only in the .deb: the library in a private folder, a manifest that names it by absolute path,
# Debian's copyright and changelog files). PackagingPerGenerator.cmake picks them per package.
include(GNUInstallDirs)

set(_tarvex_manifest "${CMAKE_BINARY_DIR}/layer/XR_APILAYER_TARVEX_tracking_override.json")
set(_tarvex_sample_config "${PROJECT_SOURCE_DIR}/install/TarvexOpenXRConfig.ini")
set(TARVEX_DEB_PACKAGE_NAME tarvex-tracking)

if(WIN32)
    # Everything sits in one folder beside the DLL; the manifest names it by a relative path.
    install(FILES ${_tarvex_manifest} "${_tarvex_sample_config}"
        "${PROJECT_SOURCE_DIR}/install/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
        "${PROJECT_SOURCE_DIR}/install/install-layer.ps1"
        DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(CPACK_GENERATOR ZIP)
    set(_tarvex_system windows-x64)
else()
    include(cmake/PackagingLinux.cmake)
    set(_tarvex_system linux-${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_PACKAGE_NAME tarvex_tracking)
set(CPACK_PACKAGE_VENDOR Tarvex)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "OpenXR API layer that takes the headset pose from a motion-capture system")
# The flavour tag says which client library the package's layer links (standin, orvix<version>).
set(CPACK_PACKAGE_FILE_NAME
    "tarvex_tracking-${PROJECT_VERSION}-${TARVEX_FLAVOUR_TAG}-${_tarvex_system}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
