#include <chrono>
#include <string>
#include <thread>

#include "log/LogLine.h"
#include "log/LogOutput.h"
#include "override/PoseOverride.h"
#include "platform/Platform.h"
#include "tracking/HeadsetWaitReport.h"

namespace {

constexpr int kMaxWaits = 50;

// OpenXR 1.1's LOCAL_FLOOR (XR_EXT_local_floor's before), which the 1.0 headers do not name.
constexpr auto kLocalFloor = static_cast<XrReferenceSpaceType>(1000426000);

// The reference spaces fixed in the world, in which the layer's tracked head moves. Others a
// runtime may offer (an eye space, a map's) move in ways only the runtime knows.
bool IsWorldSpace(XrReferenceSpaceType type) {
    return type == XR_REFERENCE_SPACE_TYPE_LOCAL || type == XR_REFERENCE_SPACE_TYPE_STAGE ||
           type == XR_REFERENCE_SPACE_TYPE_UNBOUNDED_MSFT || type == kLocalFloor;
}

void KeepReferenceSpace(MocapTracker& tracker, XrSession session, XrSpace space,
                        const XrReferenceSpaceCreateInfo& createInfo) {
    // A handle the runtime hands out again must not keep what an earlier space of that handle was.
    tracker.viewSpaces.Remove(space);
    if (createInfo.referenceSpaceType == XR_REFERENCE_SPACE_TYPE_VIEW) {
        if (!tracker.viewSpaces.Add(space, session, createInfo.poseInReferenceSpace) &&
            tracker.viewSpaces.TakeFullNotice()) {
            LogLine() << "Tracked VIEW spaces: all " << ViewSpaceSet::kCapacity
                      << " are in use; further VIEW spaces keep the runtime's poses.\n";
        }
        return;
    }
    if (IsWorldSpace(createInfo.referenceSpaceType) &&
        !tracker.viewSpaces.AddWorldSpace(space, session) &&
        tracker.viewSpaces.TakeWorldFullNotice()) {
        LogLine() << "Tracked VIEW spaces: all " << ViewSpaceSet::kCapacity
                  << " places for world spaces are in use; further world spaces keep the "
                     "runtime's poses in VIEW spaces.\n";
    }
}

// Why the wait failed, in the log file alone. Without memory for the line the failure still
// stands as reported on standard output.
void LogWaitFailure(const MocapTracker& tracker, double waitedSeconds) noexcept {
    try {
        const std::string line =
            DescribeHeadsetWaitFailure(GatherHeadsetWaitFacts(tracker, waitedSeconds));
        WriteLogFileLine(line.data(), line.size());
    } catch (...) {
    }
}

}  // namespace

void PauseOneHundredMilliseconds() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_until(until);
    }
}

XrResult CreateReferenceSpaceAtTrackedPose(MocapTracker& tracker, PFN_xrCreateReferenceSpace next,
                                           WaitPause pause, XrSession session,
                                           const XrReferenceSpaceCreateInfo* createInfo,
                                           XrSpace* space) {
    if (createInfo == nullptr) {
        return next(session, createInfo, space);  // the runtime reports the invalid call
    }
    if (!tracker.initialised.load()) {
        tracker.Initialise();
    }
    // The pose read here is the one the space gets: a second read could be overtaken by frames
    // and leave the space at the origin for the whole session.
    HmdPose pose = tracker.ReadPose();
    if (!pose.valid) {
        const StreamBodyWatch watch(tracker.streamBodies);
        const double waitBegan = platform::MonotonicSeconds();
        for (int waits = 1;; ++waits) {
            if (waits > kMaxWaits) {
                LogText("Unable to find headset position\n");
                LogWaitFailure(tracker, platform::MonotonicSeconds() - waitBegan);
                return XR_ERROR_SESSION_NOT_READY;
            }
            LogText("Waiting\n");
            pause();
            pose = tracker.ReadPose();
            if (pose.valid) {
                break;
            }
        }
    }

    const XrPosef flipped = MocapTracker::FlippedHmdPose(pose);
    XrReferenceSpaceCreateInfo replaced = *createInfo;
    replaced.poseInReferenceSpace.orientation = MocapTracker::YawOnly(flipped.orientation);
    replaced.poseInReferenceSpace.position = flipped.position;
    const XrResult result = next(session, &replaced, space);
    if (XR_SUCCEEDED(result) && space != nullptr &&
        tracker.options.trackedViewSpace.load(std::memory_order_relaxed)) {
        KeepReferenceSpace(tracker, session, *space, *createInfo);
    }
    return result;
}
