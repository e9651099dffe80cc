#pragma once

// The two OpenXR SDKs the end-to-end runs go through: Debian 12's (loader 1.0.20, hello_xr and the
// layers from its packages) and the 1.1.47 one scripts/build-openxr-sdk.sh builds into the cache.
// A run is pointed at one SDK's loader, and the dynamic linker's trace tells which loader the
// program really initialised.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/LoaderRun.h"

namespace e2e {

struct OpenXrSdk {
    const char* name;                       // for test names: "Debian12" or "Sdk1_1_47"
    std::string loaderLibrary;              // the loader's real file, its version in its name
    std::string libraryPath;                // LD_LIBRARY_PATH for its loader; empty: the system's
    std::string helloXr;                    // its hello_xr
    std::string coreValidationManifestDir;  // its core validation layer's manifest folder
    std::string howToGet;                   // what makes a missing part appear
    const char* newestApiVersion;           // the newest the loader takes, as the demo writes it
};

const OpenXrSdk& Debian12Sdk();
const OpenXrSdk& Sdk1_1_47();

// Test parameters name an SDK by the function that gives it; they print as its name.
using SdkOf = const OpenXrSdk& (*)();
void PrintTo(SdkOf sdk, std::ostream* out);

// A run through one SDK with its core validation layer above or below the tracking layer.
struct SdkValidationCase {
    SdkOf sdk;
    bool validationAbove;
};
void PrintTo(const SdkValidationCase& c, std::ostream* out);
// Every SDK with validation above and below, and the test names for them.
std::vector<SdkValidationCase> EverySdkValidationCase();
std::string SdkValidationCaseName(const ::testing::TestParamInfo<SdkValidationCase>& param);

// A test failure, naming what is missing and how to get it, unless the SDK's loader is there.
void ExpectLoaderPresent(const OpenXrSdk& sdk);
// The same for the SDK's hello_xr, and for its core validation layer.
void ExpectHelloXrPresent(const OpenXrSdk& sdk);
void ExpectCoreValidationPresent(const OpenXrSdk& sdk);

// Makes programs run with `environment` load `sdk`'s loader, and has the dynamic linker trace the
// libraries it initialises into files in `dir`.
void UseLoaderOf(const OpenXrSdk& sdk, Environment& environment, const std::string& dir);

// The real files of the OpenXR loaders the runs with UseLoaderOf's environment initialised.
std::vector<std::string> InitialisedLoaders(const std::string& dir);

// A test failure unless the runs traced into `dir` initialised `sdk`'s loader and no other;
// the loader's file, which names its version, is printed.
void ExpectRanThroughLoaderOf(const OpenXrSdk& sdk, const std::string& dir);

}  // namespace e2e
