#include <cstdlib>
#include <string>

#include "ini/IniFile.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr const char* kConfigVariable = "TARVEX_OPENXR_CONFIG";
constexpr const char* kConfigFileName = "TarvexOpenXRConfig.ini";
constexpr const char* kSection = "SETTINGS";
constexpr uint16_t kCommandPort = 1510;
constexpr uint16_t kDataPort = 1511;
constexpr const char* kDefaultMulticastGroup = "239.255.60.60";

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

    const char* directory = std::getenv(kConfigVariable);
    if (directory == nullptr) {
        return;
    }
    const std::string path = std::string(directory) + platform::kPathSeparator + kConfigFileName;
    const IniFile ini(path);

    connectParams.connectionType = ini.get<int32_t>(kSection, "connectiontype") == 1 ? 0 : 1;
    // The address texts only need to outlive the first connection attempt below.
    const std::string localAddress = ini.get<std::string>(kSection, "localaddress");
    const std::string serverAddress = ini.get<std::string>(kSection, "serveraddress");
    hmdRigidBodyId = ini.get<int32_t>(kSection, "hmdrbid");
    ipd = ini.get<float>(kSection, "ipd");
    overrideRight = ini.get<bool>(kSection, "overrider");
    rightControllerRigidBodyId = ini.get<int32_t>(kSection, "controllerrrbid");
    overrideLeft = ini.get<bool>(kSection, "overridel");
    leftControllerRigidBodyId = ini.get<int32_t>(kSection, "controllerlrbid");

    SetPoseValid(false);
    initialised.store(true);

    connectParams.commandPort = kCommandPort;
    connectParams.dataPort = kDataPort;
    connectParams.serverAddress = serverAddress.c_str();
    connectParams.localAddress = localAddress.c_str();
    connectParams.multicastGroup = kDefaultMulticastGroup;
    connectParams.optionFlag = false;
    connectParams.reserved = 0;

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
