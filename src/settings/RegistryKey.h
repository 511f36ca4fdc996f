// The plug-in's configuration key, HKLM "SOFTWARE\Orbolanth\ActiveXOrbolanth", opened for
// reading and closed with the object.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"

constexpr const char kConfigurationKey[] = "SOFTWARE\\Orbolanth\\ActiveXOrbolanth";
// String values longer than a path are not ours: the terminator included, 260 bytes at most.
constexpr unsigned kStringValueBytes = 260;

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Open();
    // A REG_SZ value that fits in kStringValueBytes with its terminator; anything else is absent.
    bool QueryString(const char* name, std::string& value) const;

private:
    RegistryKeyHandle key_;
};
