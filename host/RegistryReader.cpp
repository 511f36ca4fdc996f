#include "RegistryReader.h"

RegistryReader::RegistryReader(HKEY parent, const std::string& path)
{
    if (!parent || RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
}

RegistryReader::~RegistryReader()
{
    if (key_) RegCloseKey(key_);
}

std::vector<std::string> RegistryReader::SubkeyNames() const
{
    std::vector<std::string> names;
    if (!key_) return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::string RegistryReader::String(const char* name) const
{
    if (!key_) return "";
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return "";
    std::string value(bytes, '\0');
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &bytes) != ERROR_SUCCESS) {
        return "";
    }
    value.resize(strnlen(value.data(), bytes));
    return value;
}
