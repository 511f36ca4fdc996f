#include "RegistryReader.h"

RegistryReader::RegistryReader(HKEY parent, const std::string& path)
{
    HKEY opened = nullptr;
    if (parent && RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) key_.Reset(opened);
}

std::vector<std::string> RegistryReader::SubkeyNames() const
{
    std::vector<std::string> names;
    if (!key_) return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key_.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::string RegistryReader::String(const char* name) const
{
    if (!key_) return "";
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExA(key_.Get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return "";
    std::string value(bytes, '\0');
    if (RegQueryValueExA(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &bytes) != ERROR_SUCCESS) {
        return "";
    }
    value.resize(strnlen(value.data(), bytes));
    return value;
}
