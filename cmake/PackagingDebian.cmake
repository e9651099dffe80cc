# The Debian package (CPack's DEB generator), installed under /usr: the layer in a private folder
# of the multiarch library folder, its manifest where the loader looks system-wide naming it by
# absolute path, Debian's copyright and changelog files. Included by PackagingLinux.cmake.
set(TARVEX_DEB_LIBRARY_DIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}/tarvex_tracking")
set(_tarvex_deb_library "/usr/${TARVEX_DEB_LIBRARY_DIR}/libtarvex_tracking.so")

install(TARGETS tarvex_tracking LIBRARY DESTINATION ${TARVEX_DEB_LIBRARY_DIR}
    COMPONENT debian EXCLUDE_FROM_ALL)
set(TARVEX_MANIFEST_LIBRARY_PATH "${_tarvex_deb_library}")
get_directory_property(TARVEX_IMPLEMENTATION_VERSION DIRECTORY "${PROJECT_SOURCE_DIR}/layer"
    DEFINITION TARVEX_IMPLEMENTATION_VERSION)
configure_file("${PROJECT_SOURCE_DIR}/layer/tarvex_tracking.json.in"
    "${CMAKE_BINARY_DIR}/install/debian/${_tarvex_manifest_name}" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/install/debian/${_tarvex_manifest_name}"
    DESTINATION ${_tarvex_manifest_dir} COMPONENT debian EXCLUDE_FROM_ALL)

# Debian's machine-readable copyright file; the licence text itself is the system's copy of the
# Apache License 2.0 (LICENSE holds the same text).
string(TIMESTAMP _tarvex_year "%Y" UTC)
file(WRITE "${CMAKE_BINARY_DIR}/install/debian/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tarvex_tracking

Files: *
Copyright: ${_tarvex_year} Tarvex
License: Apache-2.0

License: Apache-2.0
 Licensed under the Apache License, Version 2.0 (the \"License\"); you may not
 use this package except in compliance with the License.
 .
 Unless required by applicable law or agreed to in writing, software
 distributed under the License is distributed on an \"AS IS\" BASIS, WITHOUT
 WARRANTIES OR CONDITIONS OF ANY KIND, either express or implied.
 .
 On Debian systems the full text of the Apache License, Version 2.0 is in
 /usr/share/common-licenses/Apache-2.0.
")
# A native package's changelog, compressed the reproducible way Debian wants.
string(TIMESTAMP _tarvex_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(TARVEX_DEB_MAINTAINER "Tarvex tracking maintainers <tracking@tarvex.invalid>")
file(WRITE "${CMAKE_BINARY_DIR}/install/debian/changelog"
"${TARVEX_DEB_PACKAGE_NAME} (${PROJECT_VERSION}+${TARVEX_FLAVOUR_TAG}) stable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${TARVEX_DEB_MAINTAINER}  ${_tarvex_changelog_date}
")
find_program(TARVEX_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/install/debian/changelog.gz"
    COMMAND ${TARVEX_GZIP} -9nc "${CMAKE_BINARY_DIR}/install/debian/changelog"
            > "${CMAKE_BINARY_DIR}/install/debian/changelog.gz"
    DEPENDS "${CMAKE_BINARY_DIR}/install/debian/changelog" VERBATIM)
add_custom_target(tarvex_deb_changelog ALL DEPENDS "${CMAKE_BINARY_DIR}/install/debian/changelog.gz")
install(FILES "${CMAKE_BINARY_DIR}/install/debian/copyright"
    "${CMAKE_BINARY_DIR}/install/debian/changelog.gz"
    DESTINATION ${_tarvex_doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_DEBIAN_PACKAGE_NAME ${TARVEX_DEB_PACKAGE_NAME})
# The flavour is part of the package's version (1.0.0+standin), so that dpkg -l and the file name
# both say which client library the layer links.
set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}+${TARVEX_FLAVOUR_TAG}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVEX_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The loader that reads the manifest; the layer itself links only the C and C++ runtime.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libopenxr-loader1)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The layer sits between an OpenXR application and the runtime and replaces the
headset poses that pass through it with the pose of a rigid body streamed from
an optical motion-capture server. It is an implicit layer that the OpenXR
loader adds only to applications started with TARVEX_OPENXR_CONFIG set.
tarvex-check tells whether the layer is registered, configured and receiving
the headset.")
