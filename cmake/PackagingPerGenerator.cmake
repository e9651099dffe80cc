# Read by cpack per package: which install components each Linux package holds (see
# PackagingLinux.cmake). Both are packed as one package each.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL common debian)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_COMPONENTS_ALL common tarball)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
endif()
