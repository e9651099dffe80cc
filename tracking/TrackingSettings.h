#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tracking/OrvixLib.h"

class IniFile;

// The nine settings of the configuration file, as the tracker uses them. Shared by the tracker's
// start-up and by the check tool, so that both read the same keys in the same order and fail
// with the same messages.
struct TrackingSettings {
    int32_t connectionType = 1;  // as the client library takes it: 0 multicast, 1 unicast
    std::string localAddress;
    std::string serverAddress;
    int32_t hmdRigidBodyId = 0;
    float ipd = 0.0f;  // millimetres
    bool overrideRight = false;
    int32_t rightControllerRigidBodyId = 0;
    bool overrideLeft = false;
    int32_t leftControllerRigidBodyId = 0;
};

// The environment variable that names the configuration file's directory.
inline constexpr const char* kConfigVariable = "TARVEX_OPENXR_CONFIG";
inline constexpr const char* kConfigFileName = "TarvexOpenXRConfig.ini";
inline constexpr const char* kSettingsSection = "SETTINGS";
// The keys of [SETTINGS], in the order the tracker reads them.
inline constexpr std::array<const char*, 9> kSettingKeys = {
    "connectiontype", "localaddress",    "serveraddress", "hmdrbid",        "ipd",
    "overrider",      "controllerrrbid", "overridel",     "controllerlrbid"};

// The configuration file's path, or nothing when the variable is not set. The directory is taken
// as given: no trimming, no check that it exists.
std::optional<std::string> ConfigFilePath();

// Reads the nine settings in their fixed order; throws the reader's runtime error at the first
// key that is missing or malformed.
TrackingSettings ReadTrackingSettings(const IniFile& ini);

// The connection record for the configured server: the settings' mode and addresses with the
// fixed ports and multicast group. Its address texts point into settings, which must outlive it.
sOrvixClientConnectParams ConfiguredConnectParams(const TrackingSettings& settings);
