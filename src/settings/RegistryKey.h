// The plug-in's configuration key, HKLM "SOFTWARE\Orbolanth\ActiveXOrbolanth", opened for
// reading and closed with the object.
#pragma once

#include <windows.h>

#include <string>

constexpr const char kConfigurationKey[] = "SOFTWARE\\Orbolanth\\ActiveXOrbolanth";

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Open();
    // A REG_SZ value that fits in 260 bytes with its terminator; anything else is absent.
    bool QueryString(const char* name, std::string& value) const;

private:
    HKEY key_ = nullptr;
};
