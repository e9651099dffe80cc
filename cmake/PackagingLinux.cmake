# The Linux packages: the tarball and, where the system has a multiarch triplet and dpkg, the
# Debian package. Included by Packaging.cmake.
set(_tarvex_user_dir "${CMAKE_INSTALL_DATADIR}/tarvex_tracking")
set(_tarvex_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${TARVEX_DEB_PACKAGE_NAME}")
set(_tarvex_manifest_name XR_APILAYER_TARVEX_tracking_override.json)
set(_tarvex_manifest_dir "${CMAKE_INSTALL_DATADIR}/openxr/1/api_layers/implicit.d")

# Both packages.
install(FILES "${_tarvex_sample_config}" DESTINATION ${_tarvex_user_dir} COMPONENT common)
install(FILES "${PROJECT_SOURCE_DIR}/install/README.md" DESTINATION ${_tarvex_doc_dir}
    COMPONENT common)
set(TARVEX_PACKAGE_FILES
    "${_tarvex_user_dir}/TarvexOpenXRConfig.ini"
    "${_tarvex_doc_dir}/README.md")
include(cmake/ManualPages.cmake)

# The tarball (and cmake --install). install-layer.sh twice: the packaged one registers the library
# it was shipped with, wherever the package was unpacked; the build tree's one registers the
# build's library.
file(RELATIVE_PATH _tarvex_script_to_library "/prefix/${_tarvex_user_dir}"
    "/prefix/${CMAKE_INSTALL_LIBDIR}/libtarvex_tracking.so")
set(TARVEX_SCRIPT_LIBRARY "\$here/${_tarvex_script_to_library}")
set(TARVEX_SCRIPT_MANIFEST "\$here/${_tarvex_manifest_name}")
set(TARVEX_SCRIPT_SAMPLE_CONFIG "\$here/TarvexOpenXRConfig.ini")
set(TARVEX_SCRIPT_FILE_LIST "\$here/installed-files.txt")
set(TARVEX_SCRIPT_FILE_SUMS "\$here/installed-files.sha256")
file(RELATIVE_PATH _tarvex_script_to_prefix "/prefix/${_tarvex_user_dir}" "/prefix")
set(TARVEX_SCRIPT_PREFIX "\$here/${_tarvex_script_to_prefix}")
set(TARVEX_VERSION "${PROJECT_VERSION}")
configure_file("${PROJECT_SOURCE_DIR}/install/install-layer.sh.in"
    "${CMAKE_BINARY_DIR}/install/package/install-layer.sh" @ONLY)
install(PROGRAMS "${CMAKE_BINARY_DIR}/install/package/install-layer.sh"
    DESTINATION ${_tarvex_user_dir} COMPONENT tarball)
install(FILES ${_tarvex_manifest} DESTINATION ${_tarvex_user_dir} COMPONENT tarball)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION ${_tarvex_doc_dir} COMPONENT tarball)
list(APPEND TARVEX_PACKAGE_FILES
    "${_tarvex_user_dir}/install-layer.sh"
    "${_tarvex_user_dir}/${_tarvex_manifest_name}"
    "${_tarvex_user_dir}/installed-files.txt"
    "${_tarvex_user_dir}/installed-files.sha256"
    "${_tarvex_doc_dir}/LICENSE"
    "${CMAKE_INSTALL_LIBDIR}/libtarvex_tracking.so"
    "${_tarvex_manifest_dir}/${_tarvex_manifest_name}")
if(TARGET tarvex-check)
    list(APPEND TARVEX_PACKAGE_FILES "${CMAKE_INSTALL_BINDIR}/tarvex-check")
endif()
if(TARGET tarvex-mocap-sim AND TARVEX_CLIENT_STANDIN)
    list(APPEND TARVEX_PACKAGE_FILES "${CMAKE_INSTALL_BINDIR}/tarvex-mocap-sim")
endif()
list(APPEND TARVEX_PACKAGE_FILES ${TARVEX_VENDOR_RUNTIME_FILES})
# What install-layer.sh --uninstall removes, relative to the prefix: exactly the tarball's files,
# then the folders of the package's own (a trailing /) if they are empty.
list(APPEND TARVEX_PACKAGE_FILES "${_tarvex_user_dir}/" "${_tarvex_doc_dir}/")
list(SORT TARVEX_PACKAGE_FILES)
list(JOIN TARVEX_PACKAGE_FILES "\n" _tarvex_file_lines)
file(WRITE "${CMAKE_BINARY_DIR}/install/package/installed-files.txt" "${_tarvex_file_lines}\n")
install(FILES "${CMAKE_BINARY_DIR}/install/package/installed-files.txt"
    DESTINATION ${_tarvex_user_dir} COMPONENT tarball)
# Their checksums, taken as installed: --uninstall removes only files that still match. Last of
# the tarball's install rules, for cmake --install; cpack, which stages each component apart,
# writes the file again from all of them just before it packs.
set(CPACK_TARVEX_SUMS_LIST "${_tarvex_user_dir}/installed-files.txt")
install(CODE "set(TARVEX_SUMS_LIST \"${CPACK_TARVEX_SUMS_LIST}\")
include(\"${PROJECT_SOURCE_DIR}/cmake/InstalledFileSums.cmake\")" COMPONENT tarball)
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/InstalledFileSums.cmake")

set(TARVEX_SCRIPT_LIBRARY "$<TARGET_FILE:tarvex_tracking>")
set(TARVEX_SCRIPT_MANIFEST "${_tarvex_manifest}")
set(TARVEX_SCRIPT_SAMPLE_CONFIG "${_tarvex_sample_config}")
set(TARVEX_SCRIPT_FILE_LIST "")
set(TARVEX_SCRIPT_FILE_SUMS "")
set(TARVEX_SCRIPT_PREFIX "")
configure_file("${PROJECT_SOURCE_DIR}/install/install-layer.sh.in"
    "${CMAKE_BINARY_DIR}/install/install-layer.sh.gen" @ONLY)
file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/install/install-layer.sh"
    INPUT "${CMAKE_BINARY_DIR}/install/install-layer.sh.gen"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR TGZ)

find_program(TARVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CMAKE_LIBRARY_ARCHITECTURE AND TARVEX_DPKG_SHLIBDEPS)
    include(cmake/PackagingDebian.cmake)
    list(APPEND CPACK_GENERATOR DEB)
else()
    message(STATUS "no multiarch triplet or no dpkg-shlibdeps: no Debian package")
endif()
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/PackagingPerGenerator.cmake")
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
