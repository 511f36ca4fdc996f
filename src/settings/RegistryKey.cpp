#include "settings/RegistryKey.h"

#include <cstring>

namespace {

#ifdef _WIN64
constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
#else
constexpr REGSAM kViews[] = {0};
#endif

}  // namespace

bool RegistryKey::Open()
{
    for (REGSAM view : kViews) {
        HKEY opened = nullptr;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, KEY_READ | view, &opened);
        if (rc == ERROR_SUCCESS) {
            key_.Reset(opened);
            return true;
        }
        // A key that exists but cannot be read still hides the views after it: what it
        // holds is the installation's word, and another view's key would be a stale one.
        if (rc != ERROR_FILE_NOT_FOUND) return false;
    }
    return false;
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

bool RegistryKey::QueryWideString(const wchar_t* name, std::wstring& value) const
{
    wchar_t buffer[kStringValueBytes];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG rc = RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    const size_t count = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < count && buffer[length] != L'\0') ++length;
    if (length == count && count >= kStringValueBytes) return false;
    value.assign(buffer, length);
    return true;
}
