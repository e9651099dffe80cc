#include "tests/windows/ScopedRegistryValue.h"

#include <utility>

namespace windows_test {

ScopedRegistryValue::ScopedRegistryValue(std::string key, std::string name, DWORD value)
    : key_(std::move(key)), name_(std::move(name)) {
    written_ = Write(REG_DWORD, &value, sizeof(value));
}

ScopedRegistryValue::ScopedRegistryValue(std::string key, std::string name,
                                         const std::string& value)
    : key_(std::move(key)), name_(std::move(name)) {
    written_ = Write(REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

ScopedRegistryValue::~ScopedRegistryValue() {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_SET_VALUE, &handle) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(handle, name_.c_str());
        RegCloseKey(handle);
    }
}

bool ScopedRegistryValue::Write(DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool written = RegSetValueExA(handle, name_.c_str(), 0, type,
                                        static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return written;
}

}  // namespace windows_test
