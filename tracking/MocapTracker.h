#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>
#include <thread>

#include "tracking/LayerOptions.h"
#include "tracking/OrvixLib.h"
#include "tracking/RuntimeViewHold.h"
#include "tracking/StreamBodyRecord.h"
#include "tracking/TrackedBody.h"
#include "tracking/TrackingSettings.h"
#include "tracking/ViewSpaceSet.h"

// The one tracking client of the process: settings, the connection to the motion-capture
// server, the tracked bodies whose poses the pose hooks read, and the reconnect watchdog.
//
// Threads: application threads (start-up, pose reads), the client library's frame thread
// (OnFrame), its discovery thread (OnServerDiscovered) and the watchdog. Nothing takes a lock.
class MocapTracker {
public:
    // The process-wide tracker. It is never destroyed: library threads may still run inside it
    // while static destructors run at process exit.
    static MocapTracker& Instance();

    MocapTracker() = default;
    // For trackers other than the process-wide one (tests): stops and joins the watchdog.
    ~MocapTracker();
    MocapTracker(const MocapTracker&) = delete;
    MocapTracker& operator=(const MocapTracker&) = delete;

    // Start-up: reads the settings, connects once, starts the watchdog. Throws the INI reader's
    // runtime errors. Runs at most once at a time; a caller that finds it running returns.
    void Initialise();

    bool ConnectToServer(const sOrvixClientConnectParams& params);
    void DisconnectFromServer();

    void OnFrame(const sFrameOfMocapData* frame);
    void OnServerDiscovered(const DiscoveredServer* server);

    // Runs until watchdogStop is set; the start-up clears watchdogStop before it starts the thread.
    void WatchdogLoop();
    // One watchdog pass at the given time; returns whether the loop pauses before the next.
    bool WatchdogPass(double now);

    // The headset's pose (PoseStore::ReadNewest). Defined here: the pose hooks read it on every
    // call.
    HmdPose ReadPose() const { return headset.ReadPose(); }
    void StorePose(const XrVector3f& position, const XrQuaternionf& orientation) {
        headset.poses.Store(position, orientation);
    }
    void SetPoseValid(bool valid) { headset.poses.SetValid(valid); }

    // Pose math on a snapshot of the stored pose.
    static XrQuaternionf YawOnly(const XrQuaternionf& q);
    static XrVector3f EyeOffset(const XrQuaternionf& hmdOrientation, float k);
    static XrPosef FlippedHmdPose(const HmdPose& pose);

    // Replaces both views' poses with the tracked ones; captures the yaw correction once.
    void OverrideViewPoses(XrPosef& first, XrPosef& second);
    // The same with a given headset pose, such as one predicted to the display time.
    void OverrideViewPoses(XrPosef& first, XrPosef& second, const HmdPose& pose);
    // The head (the point between the eyes) as the views get it, for a given headset pose; false
    // before the yaw correction has been captured, when there is no head to give yet.
    bool TrackedHeadPose(const HmdPose& pose, XrPosef* head) const;

    // The turn about the vertical that takes the runtime's heading to the motion-capture heading,
    // captured at the first override with a pose, and its inverse.
    struct YawCorrection {
        XrQuaternionf offset;
        XrQuaternionf inverse;
    };
    std::optional<YawCorrection> CapturedYawCorrection() const;
    // The correction's inverse, as the bits of its y and w, in one word: every first caller
    // computes its own and the first to publish it wins, so no thread ever waits for another.
    static constexpr uint64_t kNoYawCorrection = ~uint64_t{0};  // a pair of NaNs

    // The headset's rigid body, and one per hand for the controllers to follow; the frame intake
    // fills only the headset's so far.
    TrackedBody headset;
    TrackedBody rightHand;
    TrackedBody leftHand;
    sOrvixClientConnectParams connectParams{};
    std::atomic<OrvixClient*> client{nullptr};
    sServerDescription serverDescription{};
    std::atomic<OrvixDiscoveryHandle> discovery{nullptr};
    std::atomic<bool> discoveryActive{false};
    std::thread watchdogThread;
    std::atomic<bool> watchdogStop{false};
    std::atomic<double> lastFrameTime{std::numeric_limits<double>::max()};
    float ipd = 0.0f;
    std::atomic<bool> initialised{false};
    std::atomic<bool> startupRunning{false};
    std::atomic<uint64_t> yawCorrectionBits{kNoYawCorrection};
    bool overrideRight = false;
    bool overrideLeft = false;

    // Beyond the nine settings: the options in force, and what the options need of the stream.
    ActiveLayerOptions options;
    ViewSpaceSet viewSpaces;  // filled only while the tracked VIEW space option is on
    // Raised once xrEndFrame has said that the runtime could not give its own views.
    std::atomic<bool> runtimeViewsFallbackReported{false};
    RuntimeViewHold runtimeViewHold;  // used only while the runtime's-views option is on
    // For the log file's account of a failed wait for the headset: the settings as read, written
    // before initialised is raised, and the rigid bodies the frames carry during such a wait.
    TrackingSettings settingsAsRead;
    StreamBodyRecord streamBodies;

private:
    // Starts a server discovery and raises discoveryActive once its handle is published.
    void StartDiscovery();
};

// Plain functions registered with the client library; the context is the tracker.
void FrameCallback(sFrameOfMocapData* frame, void* context);
void DiscoveryCallback(const DiscoveredServer* server, void* context);
