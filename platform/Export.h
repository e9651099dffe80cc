#pragma once

// Marks the layer library's one exported function; the one place the export differs by platform.
#if defined(_WIN32)
#define TARVEX_EXPORT extern "C" __declspec(dllexport)
#else
#define TARVEX_EXPORT extern "C" __attribute__((visibility("default")))
#endif
