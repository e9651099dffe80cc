#pragma once

// How to mend a registration whose files went missing or broke: a user registration is written
// again by the install script; a system-wide one came from a package, which must be reinstalled,
// since the script would register the layer a second time.

#include <string>

// Whether the manifest lies outside the user's data folder that the install script registers in
// ($XDG_DATA_HOME or ~/.local/share; empty when unknown), so that a package put it there.
bool PackageRegistration(const std::string& manifestPath, const std::string& userDataHome);

std::string RepairAdvice(const std::string& manifestPath, const std::string& userDataHome);
