#include "tools/check/ConfigurationCheck.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>

#include "ini/IniFile.h"

namespace {

constexpr const char* kSection = "configuration";

// Floats as the layer prints them: the stream's default format.
std::string Text(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string YesNo(bool value) {
    return value ? "true" : "false";
}

void ReportSettings(const TrackingSettings& settings, Report& report) {
    const bool multicast = settings.connectionType == 0;
    const std::string mode = multicast ? "multicast" : "unicast";
    CheckLine& line = report.Add(
        kSection, "settings", Verdict::kOk,
        "settings read: " + mode + ", server " + settings.serverAddress + ", headset rigid body " +
            std::to_string(settings.hmdRigidBodyId) + ", ipd " + Text(settings.ipd) + " mm");
    line.details = {
        "connectiontype  -> " + mode +
            (multicast ? " (the file says 1)" : " (the file says other than 1)"),
        "localaddress    = " + settings.localAddress,
        "serveraddress   = " + settings.serverAddress,
        "hmdrbid         = " + std::to_string(settings.hmdRigidBodyId),
        "ipd             = " + Text(settings.ipd) + " mm",
        "overrider       = " + YesNo(settings.overrideRight) + " (read, not used)",
        "controllerrrbid = " + std::to_string(settings.rightControllerRigidBodyId) +
            " (read, not used)",
        "overridel       = " + YesNo(settings.overrideLeft) + " (read, not used)",
        "controllerlrbid = " + std::to_string(settings.leftControllerRigidBodyId) +
            " (read, not used)",
    };

    JsonValue values;
    values.Set("connection_mode", mode);
    values.Set("localaddress", settings.localAddress);
    values.Set("serveraddress", settings.serverAddress);
    values.Set("hmdrbid", settings.hmdRigidBodyId);
    values.Set("ipd_mm", static_cast<double>(settings.ipd));
    values.Set("overrider", settings.overrideRight);
    values.Set("controllerrrbid", settings.rightControllerRigidBodyId);
    values.Set("overridel", settings.overrideLeft);
    values.Set("controllerlrbid", settings.leftControllerRigidBodyId);
    report.Facts(kSection).Set("settings", std::move(values));
}

}  // namespace

std::optional<TrackingSettings> CheckConfiguration(Report& report) {
    JsonValue& facts = report.Facts(kSection);
    const std::optional<std::string> path = ConfigFilePath();
    if (!path) {
        report.Add(
            kSection, "variable", Verdict::kFail,
            std::string(kConfigVariable) +
                " is not set: the layer reads no settings and never tracks",
            std::string("set ") + kConfigVariable + " to the folder that holds " + kConfigFileName);
        return std::nullopt;
    }
    facts.Set("file", *path);
    report.Add(kSection, "variable", Verdict::kOk,
               std::string(kConfigVariable) + " is set: the layer reads " + *path);
    try {
        const IniFile ini(*path);
        const TrackingSettings settings = ReadTrackingSettings(ini);
        ReportSettings(settings, report);
        return settings;
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        facts.Set("error", message);
        const bool missing = message == "ini file not found.";
        report.Add(kSection, "settings", Verdict::kFail,
                   "the layer stops reading " + *path + " with: " + message,
                   missing ? std::string("create ") + kConfigFileName + " in " +
                                 std::filesystem::path(*path).parent_path().string() +
                                 ", or point " + kConfigVariable + " at the folder that holds it"
                           : std::string("correct the file: section [SETTINGS] needs all nine keys "
                                         "(connectiontype, localaddress, serveraddress, hmdrbid, "
                                         "ipd, overrider, controllerrrbid, overridel, "
                                         "controllerlrbid)"));
        return std::nullopt;
    }
}
