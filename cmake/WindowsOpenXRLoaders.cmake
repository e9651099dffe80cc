# The Windows OpenXR loaders that scripts/build-windows-loader.sh builds from Debian's sources and
# links into the build folder, one install folder per version. Windows programs link against the
# oldest (both export the same functions under the same DLL name); the chain tests run through
# each, with that version's DLL beside the programs.
set(TARVEX_WINDOWS_OPENXR_LOADERS_DIR "${PROJECT_SOURCE_DIR}/build/windows-loaders"
    CACHE PATH "Folder of the Windows OpenXR loaders' install folders, named by version")
set(TARVEX_WINDOWS_OPENXR_LOADER_VERSIONS 1.0.20 1.1.47)
set(TARVEX_WINDOWS_OPENXR_LINKED_LOADER 1.0.20)
