#include "layer/FrameworkHooks.h"
#include "layer/OpenXRLayer.h"
#include "layer/PoseHooks.h"

std::vector<HookEntry> BuildHookList() {
    return {
        {"xrDestroyInstance", reinterpret_cast<PFN_xrVoidFunction>(&HookDestroyInstance)},
        {"xrCreateInstance", reinterpret_cast<PFN_xrVoidFunction>(&HookCreateInstance)},
        {"xrEndFrame", reinterpret_cast<PFN_xrVoidFunction>(&HookEndFrame)},
        {"xrLocateViews", reinterpret_cast<PFN_xrVoidFunction>(&HookLocateViews)},
        {"xrCreateReferenceSpace", reinterpret_cast<PFN_xrVoidFunction>(&HookCreateReferenceSpace)},
    };
}
