#include "tools/check/ConfigurationCheck.h"

#include <cstdlib>
#include <filesystem>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>

#include "ini/IniFile.h"
#include "tools/check/ConfigVariable.h"
#include "tools/check/SettingTexts.h"
#include "tracking/LayerOptions.h"
#include "tracking/UnknownOptionKeys.h"

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

    report.Facts(kSection)["settings"] = {
        {"connection_mode", mode},
        {"localaddress", settings.localAddress},
        {"serveraddress", settings.serverAddress},
        {"hmdrbid", settings.hmdRigidBodyId},
        {"ipd_mm", static_cast<double>(settings.ipd)},
        {"overrider", settings.overrideRight},
        {"controllerrrbid", settings.rightControllerRigidBodyId},
        {"overridel", settings.overrideLeft},
        {"controllerlrbid", settings.leftControllerRigidBodyId},
    };
}

void ReportSettingTexts(const IniFile& ini, const TrackingSettings& settings, Report& report) {
    JsonValue texts = JsonValue::array();
    for (const SettingTextFinding& finding : CompareSettingTexts(ini, settings)) {
        report.Add(kSection, finding.check, Verdict::kWarn, finding.message, finding.advice);
        texts.push_back({{"check", finding.check}, {"key", finding.key}, {"text", finding.text}});
    }
    report.Facts(kSection)["questionable_texts"] = std::move(texts);
}

// The [OPTIONS] section: said only when it turns something on or is refused, so that a plain
// setup reads as before.
void ReportOptionValues(const IniFile& ini, Report& report) {
    JsonValue& facts = report.Facts(kSection)["options"];
    try {
        const LayerOptions options = ReadLayerOptions(ini);
        facts = {{"predictdisplaytime", options.predictDisplayTime},
                 {"maxpredictionms", static_cast<double>(options.maxPredictionMs)},
                 {"trackedviewspace", options.trackedViewSpace},
                 {"trackinglossms", static_cast<double>(options.trackingLossMs)},
                 {"submitruntimeviews", options.submitRuntimeViews}};
        if (!options.AnyOn()) {
            return;
        }
        std::istringstream lines(DescribeLayerOptions(options));
        std::string heading;
        std::getline(lines, heading);
        CheckLine& line = report.Add(kSection, "options", Verdict::kInfo,
                                     "options on, beyond the standard behaviour:");
        for (std::string detail; std::getline(lines, detail);) {
            line.details.push_back(detail.substr(detail.find_first_not_of(' ')));
        }
    } catch (const std::runtime_error& error) {
        facts = {{"error", error.what()}};
        report.Add(kSection, "options", Verdict::kWarn,
                   std::string("the layer ignores the [OPTIONS] section: ") + error.what(),
                   "correct the option, or remove the section to run without options");
    }
}

std::string KnownKeys(std::span<const char* const> keys) {
    std::string known;
    for (const char* key : keys) {
        known += (known.empty() ? "" : ", ") + std::string(key);
    }
    return known;
}

// Keys of the section that name no option: the layer ignores them without a word on its standard
// output, so a misspelt option stays off unnoticed.
void ReportUnknownOptionKeys(const IniFile& ini, Report& report) {
    JsonValue keys = JsonValue::array();
    for (const UnknownOptionKey& unknown : FindUnknownOptionKeys(ini)) {
        report.Add(kSection, "unknown_option", Verdict::kWarn, DescribeUnknownOptionKey(unknown),
                   unknown.nearest.empty()
                       ? "remove the key; the options are " + KnownKeys(kOptionKeys)
                       : "write " + unknown.nearest + " if that is the option you mean");
        keys.push_back({{"key", unknown.key}, {"nearest", unknown.nearest}});
    }
    report.Facts(kSection)["unknown_option_keys"] = std::move(keys);
}

// Keys of [SETTINGS] beside the nine: the layer never reads them, so a value meant for one of the
// nine (a misspelt "ipdd") changes nothing.
void ReportUnknownSettingKeys(const IniFile& ini, Report& report) {
    JsonValue keys = JsonValue::array();
    for (const UnknownOptionKey& unknown : FindUnknownKeys(ini, kSettingsSection, kSettingKeys)) {
        std::string message = "setting key '" + unknown.key + "' in [" + kSettingsSection +
                              "] is unknown and ignored";
        if (!unknown.nearest.empty()) {
            message += " (did you mean '" + unknown.nearest + "'?)";
        }
        report.Add(kSection, "unknown_setting", Verdict::kWarn, message,
                   unknown.nearest.empty()
                       ? "remove the key; the settings are " + KnownKeys(kSettingKeys)
                       : "remove the key, and give its value to " + unknown.nearest +
                             " if that is the setting you mean");
        keys.push_back({{"key", unknown.key}, {"nearest", unknown.nearest}});
    }
    report.Facts(kSection)["unknown_setting_keys"] = std::move(keys);
}

}  // namespace

std::optional<TrackingSettings> CheckConfiguration(Report& report) {
    JsonValue& facts = report.Facts(kSection);
    const std::optional<std::string> path = ConfigFilePath();
    if (!path) {
        // The manifest's enable_environment is this variable too: the loader leaves the layer out
        // of applications started without it. One cause, so one failure, here.
        report.Add(kSection, "variable", Verdict::kFail,
                   std::string(kConfigVariable) +
                       " is not set: the loader leaves the layer out of applications started "
                       "without it, and the layer would read no settings",
                   std::string("set ") + kConfigVariable + " to the folder that holds " +
                       kConfigFileName + " in the environment the application starts from");
        return std::nullopt;
    }
    facts["file"] = *path;
    const std::string value = std::getenv(kConfigVariable);
    if (const std::optional<ConfigVariableMistake> mistake =
            FindConfigVariableMistake(value, *path, HomeFolder())) {
        facts["variable_mistake"] = mistake->kind;
        report.Add(kSection, "variable", Verdict::kFail, mistake->message, mistake->advice);
        return std::nullopt;
    }
    report.Add(kSection, "variable", Verdict::kOk,
               std::string(kConfigVariable) + " is set: the layer reads " + *path);
    try {
        const IniFile ini(*path);
        const TrackingSettings settings = ReadTrackingSettings(ini);
        ReportSettings(settings, report);
        ReportUnknownSettingKeys(ini, report);
        ReportSettingTexts(ini, settings, report);
        ReportOptionValues(ini, report);
        ReportUnknownOptionKeys(ini, report);
        return settings;
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        facts["error"] = message;
        const bool missing = message == "ini file not found.";
        report.Add(kSection, "settings", Verdict::kFail,
                   "the layer stops reading " + *path + " with: " + message,
                   missing ? std::string("create ") + kConfigFileName + " in " +
                                 std::filesystem::path(*path).parent_path().string() +
                                 ", or point " + kConfigVariable + " at the folder that holds it"
                           : "correct the file: section [" + std::string(kSettingsSection) +
                                 "] needs all nine keys (" + KnownKeys(kSettingKeys) + ")");
        return std::nullopt;
    }
}
