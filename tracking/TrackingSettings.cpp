#include "tracking/TrackingSettings.h"

#include <cstdlib>

#include "ini/IniFile.h"
#include "platform/Platform.h"

namespace {

constexpr uint16_t kCommandPort = 1510;
constexpr uint16_t kDataPort = 1511;
constexpr const char* kDefaultMulticastGroup = "239.255.60.60";

}  // namespace

std::optional<std::string> ConfigFilePath() {
    const char* directory = std::getenv(kConfigVariable);
    if (directory == nullptr) {
        return std::nullopt;
    }
    return std::string(directory) + platform::kPathSeparator + kConfigFileName;
}

TrackingSettings ReadTrackingSettings(const IniFile& ini) {
    TrackingSettings settings;
    // The file says 1 for multicast; the client library takes 0 for it.
    settings.connectionType = ini.get<int32_t>(kSettingsSection, "connectiontype") == 1 ? 0 : 1;
    settings.localAddress = ini.get<std::string>(kSettingsSection, "localaddress");
    settings.serverAddress = ini.get<std::string>(kSettingsSection, "serveraddress");
    settings.hmdRigidBodyId = ini.get<int32_t>(kSettingsSection, "hmdrbid");
    settings.ipd = ini.get<float>(kSettingsSection, "ipd");
    settings.overrideRight = ini.get<bool>(kSettingsSection, "overrider");
    settings.rightControllerRigidBodyId = ini.get<int32_t>(kSettingsSection, "controllerrrbid");
    settings.overrideLeft = ini.get<bool>(kSettingsSection, "overridel");
    settings.leftControllerRigidBodyId = ini.get<int32_t>(kSettingsSection, "controllerlrbid");
    return settings;
}

sOrvixClientConnectParams ConfiguredConnectParams(const TrackingSettings& settings) {
    sOrvixClientConnectParams params{};
    params.connectionType = settings.connectionType;
    params.commandPort = kCommandPort;
    params.dataPort = kDataPort;
    params.serverAddress = settings.serverAddress.c_str();
    params.localAddress = settings.localAddress.c_str();
    params.multicastGroup = kDefaultMulticastGroup;
    params.optionFlag = false;
    params.reserved = 0;
    return params;
}
