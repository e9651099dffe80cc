#include "layer/InstanceHeadFacts.h"

#include <cstring>
#include <string>
#include <string_view>

#include "log/LogOutput.h"
#include "tracking/XrResultName.h"

namespace {

// The application may fill its fixed-size names to the end without a terminator.
std::string_view NameIn(const char* text, size_t capacity) {
    return {text, strnlen(text, capacity)};
}

std::string VersionText(XrVersion version) {
    return std::to_string(XR_VERSION_MAJOR(version)) + '.' +
           std::to_string(XR_VERSION_MINOR(version)) + '.' +
           std::to_string(XR_VERSION_PATCH(version));
}

std::string RuntimeLine(PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr, XrInstance instance) {
    PFN_xrVoidFunction function = nullptr;
    XrResult result = nextGetInstanceProcAddr(instance, "xrGetInstanceProperties", &function);
    if (XR_SUCCEEDED(result) && function == nullptr) {
        result = XR_ERROR_FUNCTION_UNSUPPORTED;
    }
    if (XR_SUCCEEDED(result)) {
        XrInstanceProperties properties{XR_TYPE_INSTANCE_PROPERTIES};
        result = reinterpret_cast<PFN_xrGetInstanceProperties>(function)(instance, &properties);
        if (XR_SUCCEEDED(result)) {
            return "runtime: " +
                   std::string(NameIn(properties.runtimeName, sizeof(properties.runtimeName))) +
                   ' ' + VersionText(properties.runtimeVersion) + '\n';
        }
    }
    return std::string("runtime: not told (xrGetInstanceProperties gave ") + XrResultName(result) +
           ")\n";
}

}  // namespace

void LogApplicationAndRuntime(const XrInstanceCreateInfo& info,
                              PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr,
                              XrInstance instance) noexcept {
    try {
        const XrApplicationInfo& application = info.applicationInfo;
        // Numbers by std::to_string: the application's global locale must not group their digits.
        const std::string_view engine =
            NameIn(application.engineName, sizeof(application.engineName));
        const std::string text =
            "application: " +
            std::string(NameIn(application.applicationName, sizeof(application.applicationName))) +
            ' ' + std::to_string(application.applicationVersion) +
            (engine.empty() ? std::string()
                            : ", engine: " + std::string(engine) + ' ' +
                                  std::to_string(application.engineVersion)) +
            ", OpenXR " + VersionText(application.apiVersion) + '\n' +
            RuntimeLine(nextGetInstanceProcAddr, instance);
        WriteLogFileOnly(text);
    } catch (...) {
        // The head goes without these lines; the instance is the application's all the same.
    }
}
