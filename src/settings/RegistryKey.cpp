#include "settings/RegistryKey.h"

#include <cstring>

bool RegistryKey::Open()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    key_.Reset(opened);
    return true;
}

bool RegistryKey::QueryString(const char* name, std::string& value) const
{
    char buffer[kStringValueBytes];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    // A value stored without its terminator counts only if the terminator would still fit.
    const char* end = static_cast<const char*>(std::memchr(buffer, '\0', size));
    if (!end) {
        if (size >= sizeof buffer) return false;
        end = buffer + size;
    }
    value.assign(buffer, static_cast<size_t>(end - buffer));
    return true;
}
