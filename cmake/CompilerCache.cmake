# The test presets compile through ccache, so that their several flavours, and later runs on the
# same machine, reuse what was compiled once. Without ccache the build goes on without it.
option(TARVEX_COMPILER_CACHE "Compile through ccache when it is installed" OFF)
if(TARVEX_COMPILER_CACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(TARVEX_CCACHE ccache)
    if(TARVEX_CCACHE)
        set(CMAKE_C_COMPILER_LAUNCHER "${TARVEX_CCACHE}" CACHE STRING "" FORCE)
        set(CMAKE_CXX_COMPILER_LAUNCHER "${TARVEX_CCACHE}" CACHE STRING "" FORCE)
    else()
        message(STATUS "ccache not found: compiling without a compiler cache")
    endif()
endif()
