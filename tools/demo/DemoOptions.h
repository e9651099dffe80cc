#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace demo {

// How the session meets the compositor: headless (XR_MND_headless: no graphics, nothing shown) or
// a Vulkan session whose frames a real compositor composes. kAuto takes headless where the
// runtime offers it, else Vulkan.
enum class GraphicsMode { kAuto, kHeadless, kVulkan };

// The OpenXR API version the demo asks for in xrCreateInstance. Debian 12's loader (1.0.20) refuses
// 1.1, so 1.0 stays the default.
enum class ApiVersion { k1_0, k1_1 };

struct DemoOptions {
    uint64_t frames = 0;  // 0: run for `seconds`
    double seconds = 10.0;
    std::optional<double> pathStart;  // simulator's start on the monotonic clock, in seconds
    std::string plotPath = "tarvex-demo-views.svg";
    std::string runtimeRecordPath;   // empty: the stand-in runtime's variable, or a default
    std::string dumpViewsPath;       // empty: the received views are not written out
    std::string errorsPath;          // empty: the errors at display time are not written out
    std::string compareErrorsPath;   // another run's errors, drawn beside this run's
    std::string label = "this run";  // this run's name in the picture and the errors file
    GraphicsMode graphics = GraphicsMode::kAuto;
    ApiVersion apiVersion = ApiVersion::k1_0;
};

// Exit codes, so scripts can tell the cases apart.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitOpenXRFailure = 2;
inline constexpr int kExitNoReferenceSpace = 3;

struct DemoCommandLine {
    DemoOptions options;
    bool run = false;        // false: print `message` and exit with `exitCode`
    int exitCode = kExitOk;  // kExitOk after --help and --version, kExitUsage after an error
    std::string message;     // the help or version text, or the error line
};

DemoCommandLine ParseDemoCommandLine(int argc, const char* const* argv);

}  // namespace demo
