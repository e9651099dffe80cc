#include "tests/e2e/LayerSetup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
    manifest.replace(at, relative.size(), "\"" TARVEX_LAYER_LIBRARY "\"");
    std::ofstream(folder + "/XR_APILAYER_TARVEX_tracking_override.json") << manifest;
    environment["XDG_DATA_HOME"] = home;
}

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
