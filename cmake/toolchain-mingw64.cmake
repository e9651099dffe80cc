# Cross build for 64-bit Windows with MinGW-w64 on Linux; the results run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_tarvex_mingw x86_64-w64-mingw32)
# The posix thread model: the win32 one has no std::thread.
set(CMAKE_C_COMPILER ${_tarvex_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_tarvex_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_tarvex_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_tarvex_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLL is loaded into other people's processes: it must bring its C++ runtime and threads with
# it and import nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the test programs through Wine; scripts/with-wine.sh prepares its environment.
find_program(TARVEX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEX_WINE})
