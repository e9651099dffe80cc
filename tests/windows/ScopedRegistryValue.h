#pragma once

#include <windows.h>

#include <string>

namespace windows_test {

// One value under HKEY_LOCAL_MACHINE, written for a test and deleted when the object goes, so that
// the next test finds the registry as before. Wine runs programs elevated, so HKLM is writable.
class ScopedRegistryValue {
public:
    // A DWORD, as install-layer.ps1 registers a layer's manifest.
    ScopedRegistryValue(std::string key, std::string name, DWORD value);
    // A string, as a runtime is made the active one.
    ScopedRegistryValue(std::string key, std::string name, const std::string& value);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

    // Whether the value was written.
    bool Written() const { return written_; }

private:
    bool Write(DWORD type, const void* data, DWORD size);

    std::string key_;
    std::string name_;
    bool written_ = false;
};

}  // namespace windows_test
