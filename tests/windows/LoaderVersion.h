#pragma once

// Which OpenXR loader a Windows test runs through: the file of a DLL loaded into this process, and
// the version its version resource gives, which both loaders built here carry.

#include <string>

namespace windows_test {

// The file of the module named `name` loaded into this process; empty when none is.
std::string LoadedModulePath(const char* name);

// "major.minor.patch" from the file version in `path`'s version resource; empty when the file has
// none or cannot be read.
std::string FileVersion(const std::string& path);

}  // namespace windows_test
