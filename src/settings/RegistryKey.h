// The plug-in's configuration key, HKLM "SOFTWARE\Orbolanth\ActiveXOrbolanth", opened for
// reading and closed with the object. Every reader of the settings opens it here, so both
// widths of the plug-in find the same installation.
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

    // The key in the first registry view that has it; every value then comes from that key
    // alone. Installers are 32-bit programs and write the 32-bit view, so the 64-bit plug-in
    // looks there first and then in its own view. The 32-bit plug-in opens the key as it
    // always has, without naming a view: on 64-bit Windows its own view is the 32-bit one.
    bool Open();
    // A REG_SZ value that fits in kStringValueBytes with its terminator; anything else is absent.
    bool QueryString(const char* name, std::string& value) const;
    // The same for a value read as wide text, for paths the ANSI code page cannot spell.
    bool QueryWideString(const wchar_t* name, std::wstring& value) const;

private:
    RegistryKeyHandle key_;
};
