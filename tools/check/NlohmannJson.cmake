# nlohmann-json comes from Debian's header-only package in /usr/include. Like CLI11 (tools/), a
# cross build finds it outside the MinGW root and gets a folder that links to its headers alone,
# since the host's /usr/include must not reach the include path (its C library headers would
# shadow MinGW's).
find_path(TARVEX_NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp HINTS /usr/include
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_tarvex_json_dir ${TARVEX_NLOHMANN_JSON_INCLUDE_DIR})
if(CMAKE_CROSSCOMPILING)
    set(_tarvex_json_dir ${CMAKE_CURRENT_BINARY_DIR}/nlohmann-json-include)
    file(MAKE_DIRECTORY ${_tarvex_json_dir})
    file(CREATE_LINK ${TARVEX_NLOHMANN_JSON_INCLUDE_DIR}/nlohmann ${_tarvex_json_dir}/nlohmann
        SYMBOLIC)
endif()
add_library(tarvex_nlohmann_json INTERFACE)
target_include_directories(tarvex_nlohmann_json SYSTEM INTERFACE ${_tarvex_json_dir})
