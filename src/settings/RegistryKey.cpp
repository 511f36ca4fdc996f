#include "settings/RegistryKey.h"

RegistryKey::~RegistryKey()
{
    if (key_) RegCloseKey(key_);
}

bool RegistryKey::Open()
{
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, KEY_READ, &key_) == ERROR_SUCCESS;
}

bool RegistryKey::QueryString(const char* name, std::string& value) const
{
    char buffer[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;  // one byte stays for a terminator the value may lack
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    buffer[size < MAX_PATH ? size : MAX_PATH] = '\0';
    value = buffer;
    return true;
}
