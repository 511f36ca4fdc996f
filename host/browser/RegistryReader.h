// A registry key opened for reading, closed with the object. Absent keys read as empty.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

class RegistryReader {
public:
    RegistryReader(HKEY parent, const std::string& path);
    RegistryReader(const RegistryReader&) = delete;
    RegistryReader& operator=(const RegistryReader&) = delete;

    bool IsOpen() const { return key_.Valid(); }
    HKEY Handle() const { return key_.Get(); }
    std::vector<std::string> SubkeyNames() const;
    // A REG_SZ value, empty when it is absent or of another type.
    std::string String(const char* name) const;

private:
    RegistryKeyHandle key_;
};
