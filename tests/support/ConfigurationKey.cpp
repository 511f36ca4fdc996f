#include "ConfigurationKey.h"

#include <cstdio>

#include "base/UniqueHandle.h"
#include "settings/RegistryKey.h"

ConfigurationKey::ConfigurationKey(REGSAM view) : view_(view)
{
    Remove();
}

ConfigurationKey::~ConfigurationKey()
{
    Remove();
}

void ConfigurationKey::Remove()
{
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, view, 0);
    }
}

void ConfigurationKey::SetBytes(const char* name, const void* data, DWORD size, DWORD type)
{
    RegistryKeyHandle key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, nullptr, 0, KEY_WRITE | view_, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

void ConfigurationKey::SetString(const char* name, const std::string& value, DWORD type)
{
    SetBytes(name, value.c_str(), static_cast<DWORD>(value.size() + 1), type);
}

void ConfigurationKey::SetWideString(const wchar_t* name, const std::wstring& value)
{
    RegistryKeyHandle key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, nullptr, 0, KEY_WRITE | view_, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ConfigurationKey::SetDword(const char* name, DWORD value)
{
    SetBytes(name, &value, sizeof value, REG_DWORD);
}

TempFile::TempFile(const std::string& content, const char* suffix)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    static int counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sorbtest_%lu_%d%s", directory, GetCurrentProcessId(), ++counter,
                  suffix);
    path_ = name;
    FILE* file = std::fopen(path_.c_str(), "wb");
    if (file) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
}

TempFile::~TempFile()
{
    DeleteFileA(path_.c_str());
}
