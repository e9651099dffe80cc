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
#include "tests/e2e/OpenXrSdks.h"

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

inline constexpr const char* kLayerName = "XR_APILAYER_TARVEX_tracking_override";
inline constexpr const char* kCoreValidationName = "XR_APILAYER_LUNARG_core_validation";

// The worked example: the simulator's headset at (-1, 1.5, -2) with a yaw of +30 degrees in its
// own axes; the layer's half turn stores (1, 1.5, 2) with the same yaw. With the runtime heading
// +10 degrees and 64 mm between the eyes, both views turn by +10 degrees and sit at the stored
// position turned by -20 degrees about the origin, 32 mm to either side along the stored +30
// degrees. Every reference space gets the offset of the stored pose: its position with y negated,
// the yaw of the y-negated orientation.
inline constexpr const char* kWorkedExamplePose = "-1,1.5,-2,0,0.2588190,0,0.9659258";
inline const XrPosef kWorkedLeft = MakePose(0.2279395, 1.5, 2.2374053, 0, 0.0871557, 0, 0.9961947);
inline const XrPosef kWorkedRight = MakePose(0.2833651, 1.5, 2.2054053, 0, 0.0871557, 0, 0.9961947);
inline const XrPosef kWorkedSpace = MakePose(1, -1.5, 2, 0, -0.2588190, 0, 0.9659258);

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

// Stacks Debian's core validation with the layer: below it while the layer is installed implicitly
// (the loader puts implicit layers nearest the application, before the explicit ones the
// environment enables), above it when both are enabled explicitly in that order. Returns the file
// the validation reports to; a test failure and "" when core validation is not installed.
std::string StackCoreValidation(Environment& environment, const std::string& dir, bool above);
// The same with the core validation whose manifest is in `coreValidationDir` (another SDK's).
std::string StackCoreValidation(Environment& environment, const std::string& dir, bool above,
                                const std::string& coreValidationDir);
// The same for one SDK: its loader, its hello_xr and its core validation, which must all be there
// (a test failure names what is missing, and the result is empty).
std::string StackCoreValidation(Environment& environment, const std::string& dir,
                                const SdkValidationCase& sdkCase);

// Both layers loaded, the first nearest the application (the loader says so with
// XR_LOADER_DEBUG=info, which StackCoreValidation sets), and nothing reported but the debug
// notices with which the 1.1.47 core validation says it starts and ends.
void ExpectCoreValidationSilent(const ChildRun& run, bool above, const std::string& reportFile);

// Stops the simulator, if one was started, and removes `dir` unless the test failed: its files
// are what explains a failure.
void StopAndCleanUp(const std::unique_ptr<BackgroundChild>& simulator, const std::string& dir,
                    bool testFailed);

}  // namespace e2e
