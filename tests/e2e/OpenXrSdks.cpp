#include "tests/e2e/OpenXrSdks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/e2e/ChildProcess.h"

namespace e2e {
namespace {

constexpr const char* kTracePrefix = "ld-debug";

}  // namespace

const OpenXrSdk& Debian12Sdk() {
    static const OpenXrSdk sdk{"Debian12",
                               TARVEX_SYSTEM_OPENXR_LOADER,
                               "",
                               TARVEX_HELLO_XR_PATH,
                               TARVEX_CORE_VALIDATION_MANIFEST_DIR,
                               "install libopenxr-loader1, libopenxr-utils and "
                               "openxr-layer-corevalidation (scripts/install-deps.sh)",
                               "1.0"};
    return sdk;
}

const OpenXrSdk& Sdk1_1_47() {
    static const std::string root = TARVEX_OPENXR_SDK_DIR;
    static const OpenXrSdk sdk{"Sdk1_1_47",
                               root + "/lib/libopenxr_loader.so.1.1.47",
                               root + "/lib",
                               root + "/bin/hello_xr",
                               root + "/share/openxr/1/api_layers/explicit.d",
                               "run scripts/build-openxr-sdk.sh, which builds the OpenXR SDK "
                               "1.1.47 and points " +
                                   root + " at it",
                               "1.1"};
    return sdk;
}

void ExpectLoaderPresent(const OpenXrSdk& sdk) {
    EXPECT_TRUE(std::filesystem::exists(sdk.loaderLibrary))
        << sdk.name << ": " << sdk.loaderLibrary << " is missing: " << sdk.howToGet;
}

void ExpectHelloXrPresent(const OpenXrSdk& sdk) {
    EXPECT_TRUE(std::filesystem::exists(sdk.helloXr))
        << sdk.name << ": " << sdk.helloXr << " is missing: " << sdk.howToGet;
}

void ExpectCoreValidationPresent(const OpenXrSdk& sdk) {
    // Empty when CMake found no manifest of it.
    EXPECT_TRUE(!sdk.coreValidationManifestDir.empty() &&
                std::filesystem::exists(sdk.coreValidationManifestDir))
        << sdk.name << ": no core validation layer (\"" << sdk.coreValidationManifestDir
        << "\"): " << sdk.howToGet;
}

void PrintTo(SdkOf sdk, std::ostream* out) {
    *out << sdk().name;
}

void PrintTo(const SdkValidationCase& c, std::ostream* out) {
    *out << c.sdk().name << (c.validationAbove ? " validation above" : " validation below");
}

std::vector<SdkValidationCase> EverySdkValidationCase() {
    return {{&Debian12Sdk, true}, {&Debian12Sdk, false}, {&Sdk1_1_47, true}, {&Sdk1_1_47, false}};
}

std::string SdkValidationCaseName(const ::testing::TestParamInfo<SdkValidationCase>& param) {
    return std::string(param.param.sdk().name) +
           (param.param.validationAbove ? "ValidationAbove" : "ValidationBelow");
}

void UseLoaderOf(const OpenXrSdk& sdk, Environment& environment, const std::string& dir) {
    environment["LD_LIBRARY_PATH"] =
        sdk.libraryPath.empty() ? std::nullopt : std::optional<std::string>(sdk.libraryPath);
    environment["LD_DEBUG"] = "libs";
    environment["LD_DEBUG_OUTPUT"] = dir + "/" + kTracePrefix;
}

std::vector<std::string> InitialisedLoaders(const std::string& dir) {
    const std::string marker = "calling init: ";
    std::vector<std::string> loaders;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.path().filename().string().starts_with(std::string(kTracePrefix) + ".")) {
            continue;
        }
        std::istringstream lines(ReadFile(entry.path().string()));
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find(marker);
            if (at == std::string::npos) {
                continue;
            }
            const std::filesystem::path library = line.substr(at + marker.size());
            if (library.filename().string().starts_with("libopenxr_loader.so")) {
                loaders.push_back(std::filesystem::canonical(library).string());
            }
        }
    }
    return loaders;
}

void ExpectRanThroughLoaderOf(const OpenXrSdk& sdk, const std::string& dir) {
    const std::vector<std::string> loaders = InitialisedLoaders(dir);
    std::error_code error;
    const std::string expected = std::filesystem::canonical(sdk.loaderLibrary, error).string();
    ASSERT_FALSE(error) << sdk.loaderLibrary << ": " << error.message();
    ASSERT_FALSE(loaders.empty()) << "no run initialised an OpenXR loader";
    for (const std::string& loader : loaders) {
        ASSERT_EQ(loader, expected);
    }
    std::cout << "[ loader   ] " << loaders.front() << std::endl;
}

}  // namespace e2e
