#pragma once

// What a run of the tracking layer needs around it: its configuration file, its manifest installed
// as users install it, the simulator serving on the fixed motion-capture ports, and the clean-up
// after the test.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LoaderRun.h"

namespace e2e {

// The nine settings for a headset served over loopback (rigid body 1, 64 mm between the eyes).
inline constexpr const char* kLoopbackSettings =
    "[SETTINGS]\n"
    "connectiontype = 0\n"
    "localaddress = 127.0.0.1\n"
    "serveraddress = 127.0.0.1\n"
    "hmdrbid = 1\n"
    "ipd = 64\n"
    "overrider = false\n"
    "controllerrrbid = 2\n"
    "overridel = false\n"
    "controllerlrbid = 3\n";

// Writes `text` as the layer's configuration file in `dir`.
void WriteLayerConfig(const std::string& dir, const std::string& text);

// The build's manifest copied into a user's implicit-layer folder under `dir` with the library's
// full path, as an installation places it; `environment`'s XDG_DATA_HOME names that folder's home.
void InstallImplicitLayer(const std::string& dir, Environment& environment);

// Stops `simulator`'s earlier run, starts the simulator with `switches`, its output in `dir`, and
// waits for it to serve. Returns its path time 0 (monotonic seconds); a test failure and nullopt
// when it does not start.
std::optional<double> StartSimulator(std::unique_ptr<BackgroundChild>& simulator,
                                     const std::vector<std::string>& switches,
                                     const std::string& dir);

// Stops the simulator, if one was started, and removes `dir` unless the test failed: its files
// are what explains a failure.
void StopAndCleanUp(const std::unique_ptr<BackgroundChild>& simulator, const std::string& dir,
                    bool testFailed);

}  // namespace e2e
