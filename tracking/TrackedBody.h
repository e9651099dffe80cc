#pragma once

#include <atomic>
#include <cstdint>

#include "tracking/CaptureOrder.h"
#include "tracking/NonFinitePoses.h"
#include "tracking/PoseHistory.h"
#include "tracking/PoseStore.h"

// One motion-capture rigid body as the tracker follows it: its id in the stream, its newest pose,
// the poses kept for prediction, and what the frame intake needs to judge its next frame.
//
// The frame thread writes; any thread reads without lock, allocation or wait (PoseStore.h,
// PoseHistory.h).
class TrackedBody {
public:
    // The newest pose (PoseStore::ReadNewest). Defined here: the pose hooks read it on every call.
    HmdPose ReadPose() const { return poses.ReadNewest(); }

    // Set at start-up, before the first frame.
    int32_t id = 0;
    PoseStore poses;
    PoseHistory history;  // filled only while prediction is on
    // What the frame intake leaves out of the poses and the history: frames captured before the
    // newest, and poses that are not finite (counted for the log file).
    CaptureOrder captureOrder;
    NonFinitePoseCount nonFinitePoses;
    // When the frame of the newest pose arrived (monotonic seconds): how long the body has been
    // lost.
    std::atomic<double> newestFrameTime{0.0};
};
