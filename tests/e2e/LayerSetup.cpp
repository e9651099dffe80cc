#include "tests/e2e/LayerSetup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

void WriteLayerConfig(const std::string& dir, const std::string& text) {
    std::ofstream(dir + "/TarvexOpenXRConfig.ini") << text;
}

void InstallImplicitLayer(const std::string& dir, Environment& environment) {
    const std::string home = dir + "/data-home";
    const std::string folder = home + "/openxr/1/api_layers/implicit.d";
    std::filesystem::create_directories(folder);
    std::string manifest = ReadFile(TARVEX_LAYER_MANIFEST);
    const std::string relative = "\"./libtarvex_tracking.so\"";
    const size_t at = manifest.find(relative);
    ASSERT_NE(at, std::string::npos) << manifest;
    manifest.replace(at, relative.size(), "\"" + std::string(TARVEX_LAYER_LIBRARY) + "\"");
    std::ofstream(folder + "/XR_APILAYER_TARVEX_tracking_override.json") << manifest;
    environment["XDG_DATA_HOME"] = home;
}

namespace {

// A core validation report without the debug notices with which the 1.1.47 layer says it starts
// and ends: whatever remains is a finding.
std::string ValidationFindings(const std::string& report) {
    std::istringstream lines(report);
    std::string findings;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("][VALID_DEBUG | VUID-CoreValidation-Initialize | ") == std::string::npos &&
            line.find("][VALID_DEBUG | VUID-CoreValidation-Destroy | ") == std::string::npos) {
            findings += line + "\n";
        }
    }
    return findings;
}

}  // namespace

std::optional<double> StartSimulator(std::unique_ptr<BackgroundChild>& simulator,
                                     const std::vector<std::string>& switches,
                                     const std::string& dir) {
    // Its ports are fixed: an earlier simulator must be gone before the next one binds them.
    if (simulator) {
        simulator->Stop();
    }
    std::vector<std::string> argv = {TARVEX_MOCAP_SIM_PATH};
    argv.insert(argv.end(), switches.begin(), switches.end());
    simulator =
        std::make_unique<BackgroundChild>(argv, Environment{}, dir + "/simulator-output.txt");
    const std::string prefix = "tarvex-mocap-sim: started at monotonic ";
    const auto line = simulator->WaitForLine(prefix, 10.0);
    if (!line) {
        ADD_FAILURE() << "the simulator did not start:\n" << simulator->Output();
        return std::nullopt;
    }
    return std::stod(line->substr(prefix.size()));
}

std::string StackCoreValidation(Environment& environment, const std::string& dir, bool above) {
    return StackCoreValidation(environment, dir, above, TARVEX_CORE_VALIDATION_MANIFEST_DIR);
}

std::string StackCoreValidation(Environment& environment, const std::string& dir, bool above,
                                const std::string& coreValidationDir) {
    if (coreValidationDir.empty()) {
        ADD_FAILURE() << "install openxr-layer-corevalidation";
        return "";
    }
    if (above) {
        environment["XDG_DATA_HOME"] = dir + "/empty";
        environment["XR_API_LAYER_PATH"] =
            std::filesystem::path(TARVEX_LAYER_MANIFEST).parent_path().string() + ":" +
            coreValidationDir;
        environment["XR_ENABLE_API_LAYERS"] = std::string(kCoreValidationName) + ":" + kLayerName;
    } else {
        environment["XR_API_LAYER_PATH"] = coreValidationDir;
        environment["XR_ENABLE_API_LAYERS"] = kCoreValidationName;
    }
    const std::string reportFile = dir + "/core-validation.txt";
    environment["XR_CORE_VALIDATION_FILE_NAME"] = reportFile;
    environment["XR_LOADER_DEBUG"] = "info";
    return reportFile;
}

std::string StackCoreValidation(Environment& environment, const std::string& dir,
                                const SdkValidationCase& sdkCase) {
    const OpenXrSdk& sdk = sdkCase.sdk();
    ExpectLoaderPresent(sdk);
    ExpectHelloXrPresent(sdk);
    ExpectCoreValidationPresent(sdk);
    if (::testing::Test::HasFailure()) {
        return "";
    }
    UseLoaderOf(sdk, environment, dir);
    return StackCoreValidation(environment, dir, sdkCase.validationAbove,
                               sdk.coreValidationManifestDir);
}

void ExpectCoreValidationSilent(const ChildRun& run, bool above, const std::string& reportFile) {
    const size_t validationLoaded =
        run.output.find(std::string("succeeded loading layer ") + kCoreValidationName);
    const size_t layerLoaded =
        run.output.find(std::string("succeeded loading layer ") + kLayerName);
    ASSERT_NE(validationLoaded, std::string::npos) << run.output;
    ASSERT_NE(layerLoaded, std::string::npos) << run.output;
    EXPECT_EQ(validationLoaded < layerLoaded, above) << run.output;
    EXPECT_EQ(ValidationFindings(ReadFile(reportFile)), "");
    EXPECT_EQ(run.output.find("VUID"), std::string::npos) << run.output;
}

void StopAndCleanUp(const std::unique_ptr<BackgroundChild>& simulator, const std::string& dir,
                    bool testFailed) {
    if (simulator) {
        simulator->Stop();
    }
    if (!testFailed) {
        std::filesystem::remove_all(dir);
    }
}

}  // namespace e2e
