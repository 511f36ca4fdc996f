// Writes the plug-in's configuration key in the real registry of the test prefix, and
// removes it again with the object. A 64-bit prefix has two views of HKLM's software keys;
// the object writes the one it is given (0: the test program's own), and removes the key
// from both.
#pragma once

#include <windows.h>

#include <string>

class ConfigurationKey {
public:
    explicit ConfigurationKey(REGSAM view = 0);  // starts from no key at all
    ~ConfigurationKey();  // deletes the key
    ConfigurationKey(const ConfigurationKey&) = delete;
    ConfigurationKey& operator=(const ConfigurationKey&) = delete;

    void SetString(const char* name, const std::string& value, DWORD type = REG_SZ);
    void SetBytes(const char* name, const void* data, DWORD size, DWORD type);
    void SetDword(const char* name, DWORD value);
    // A REG_SZ written through the wide call, for text the ANSI code page cannot spell.
    void SetWideString(const wchar_t* name, const std::wstring& value);
    static void Remove();

private:
    REGSAM view_;
};

// A file in the temp folder that is deleted with the object.
class TempFile {
public:
    explicit TempFile(const std::string& content, const char* suffix = ".txt");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
