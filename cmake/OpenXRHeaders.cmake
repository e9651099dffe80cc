# The layer uses the OpenXR headers only and never links the loader. The headers are copied
# into the build tree so that a cross build can use them without seeing the host's other headers.
find_file(TARVEX_OPENXR_HEADER openxr/openxr.h
    PATHS /usr/include /usr/local/include
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(_tarvex_openxr_dir "${TARVEX_OPENXR_HEADER}" DIRECTORY)
set(TARVEX_OPENXR_INCLUDE_DIR "${CMAKE_BINARY_DIR}/openxr-include")
file(COPY "${_tarvex_openxr_dir}" DESTINATION "${TARVEX_OPENXR_INCLUDE_DIR}")

add_library(openxr_headers INTERFACE)
target_include_directories(openxr_headers SYSTEM INTERFACE "${TARVEX_OPENXR_INCLUDE_DIR}")
