#pragma once

#include <optional>
#include <string>

#include "tracking/TrackingSettings.h"

class IniFile;

// What the log file records of each start-up, beyond the lines on standard output: the layer's
// version and process at the file's head, the configuration file read, and the settings as read,
// so that a log sent by a user says how the layer was set up. All of it is the file's head,
// repeated at the top of every file after a rotation.
void LogStartupBegins(const std::optional<std::string>& configPath);
void LogSettingsAsRead(const TrackingSettings& settings);
// A line for each [OPTIONS] key that names no option, which the layer ignores.
void LogUnknownOptionKeys(const IniFile& ini);
