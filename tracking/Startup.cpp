#include <optional>
#include <string>

#include "ini/IniFile.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"
#include "tracking/StartupLog.h"
#include "tracking/TrackingSettings.h"

namespace {

// Holds the start-up slot for one caller and gives it back on every way out, throws included.
class StartupSlot {
public:
    explicit StartupSlot(std::atomic<bool>& running) : running_(running) {
        bool expected = false;
        held_ = running_.compare_exchange_strong(expected, true);
    }
    ~StartupSlot() {
        if (held_) {
            running_.store(false);
        }
    }
    StartupSlot(const StartupSlot&) = delete;
    StartupSlot& operator=(const StartupSlot&) = delete;

    bool Held() const { return held_; }

private:
    std::atomic<bool>& running_;
    bool held_ = false;
};

}  // namespace

void MocapTracker::Initialise() {
    StartupSlot slot(startupRunning);
    // A caller that finds the start-up running goes on as if the tracker were not started yet;
    // one that lost the race to a start-up that has finished by now has nothing left to do.
    if (!slot.Held() || initialised.load()) {
        return;
    }

    const std::optional<std::string> path = ConfigFilePath();
    LogStartupBegins(path);
    if (!path) {
        return;
    }
    const IniFile ini(*path);
    // The address texts in it only need to outlive the first connection attempt below.
    const TrackingSettings settings = ReadTrackingSettings(ini);
    LogSettingsAsRead(settings);
    LogUnknownOptionKeys(ini);
    headset.id = settings.hmdRigidBodyId;
    ipd = settings.ipd;
    overrideRight = settings.overrideRight;
    rightHand.id = settings.rightControllerRigidBodyId;
    overrideLeft = settings.overrideLeft;
    leftHand.id = settings.leftControllerRigidBodyId;

    settingsAsRead = settings;
    SetPoseValid(false);
    initialised.store(true);

    connectParams = ConfiguredConnectParams(settings);

    // The client library starts threads that run our code; keep the module mapped for them.
    platform::PinOwnModule();
    ConnectToServer(connectParams);
    connectParams.serverAddress = nullptr;
    connectParams.localAddress = nullptr;

    // Cleared here rather than by the thread, so that a stop requested right after the start
    // cannot be undone by the thread's first step.
    watchdogStop.store(false);
    watchdogThread = std::thread(&MocapTracker::WatchdogLoop, this);
}
