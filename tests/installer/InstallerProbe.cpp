// What the installer test needs from inside Windows:
//   installer_probe hold LIBRARY READY STOP   loads LIBRARY as a browser would and keeps it
//       loaded until the file STOP exists (two minutes at most); creates READY once loaded. A
//       library of the other width is mapped as an image, which locks it as loading does.
//   installer_probe version FILE              prints the version resource of FILE: the fixed
//       file version ("numbers=1.3.2.0") and the strings of its first language.
//   installer_probe registry KEY...           prints each HKLM\... KEY and everything below it,
//       empty keys included (which "reg query" leaves out): "key PATH" lines, each followed
//       by its "value NAME<tab>TYPE<tab>DATA" lines.
//   installer_probe registry64 KEY...         the same in the 64-bit view of a 64-bit Windows.
//   installer_probe icon FILE,INDEX             prints how many icons the shell finds in FILE
//       ("icons=4"); fails unless INDEX is one of them. The form of a DefaultIcon value.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace {

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int Hold(const char* library, const char* ready, const char* stop)
{
    // A library of the other width cannot run here; mapped as an image it is locked all the same.
    LoadedModule module(LoadLibraryA(library));
    if (!module && GetLastError() == ERROR_BAD_EXE_FORMAT)
        module = LoadedModule(LoadLibraryExA(library, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) {
        std::fprintf(stderr, "cannot load %s: error %lu\n", library, GetLastError());
        return 1;
    }
    FileHandle marker(CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    marker.Reset();
    for (int waited = 0; waited < 120000 && !Exists(stop); waited += 50) Sleep(50);
    return 0;
}

int PrintVersion(const char* file)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    std::vector<char> block(size ? size : 1);
    if (!size || !GetFileVersionInfoA(file, 0, size, block.data())) {
        std::fprintf(stderr, "no version resource in %s\n", file);
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        std::printf("numbers=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
    }
    WORD* translation = nullptr;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) || length < 4) {
        return 0;
    }
    char language[16];
    std::snprintf(language, sizeof language, "%04x%04x", translation[0], translation[1]);
    for (const char* key : {"ProductName", "CompanyName", "FileDescription", "FileVersion", "ProductVersion"}) {
        std::string query = std::string("\\StringFileInfo\\") + language + "\\" + key;
        char* value = nullptr;
        if (VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value) {
            std::printf("%s=%.*s\n", key, static_cast<int>(strnlen(value, length)), value);
        }
    }
    return 0;
}

void PrintKey(HKEY key, const std::string& path, REGSAM view)
{
    std::printf("key %s\n", path.c_str());
    char name[16384];
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        std::printf("value %s\t", name);
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::printf("%s\t%.*s\n", type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ",
                        static_cast<int>(strnlen(reinterpret_cast<char*>(data.data()), size)), data.data());
        } else if (type == REG_DWORD && size == 4) {
            DWORD number = 0;
            std::memcpy(&number, data.data(), 4);
            std::printf("REG_DWORD\t0x%lx\n", number);
        } else {
            std::printf("type%lu\t", type);
            for (DWORD i = 0; i < size; ++i) std::printf("%02x", data[i]);
            std::printf("\n");
        }
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) continue;
        RegistryKeyHandle subkey(opened);
        PrintKey(subkey.Get(), path + "\\" + name, view);
    }
}

int PrintRegistry(int count, char** keys, REGSAM view)
{
    for (int i = 0; i < count; ++i) {
        const std::string path = keys[i];
        if (path.compare(0, 5, "HKLM\\") != 0) {
            std::fprintf(stderr, "not an HKLM key: %s\n", path.c_str());
            return 2;
        }
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str() + 5, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) continue;
        RegistryKeyHandle key(opened);
        PrintKey(key.Get(), path, view);
    }
    return 0;
}

int CheckIcon(const std::string& location)
{
    const size_t comma = location.rfind(',');
    const std::string file = location.substr(0, comma);
    const int index = comma == std::string::npos ? 0 : std::atoi(location.c_str() + comma + 1);
    // Index -1 counts the file's icons without extracting any.
    const UINT count = ExtractIconExA(file.c_str(), -1, nullptr, nullptr, 0);
    std::printf("icons=%u\n", count);
    return index >= 0 && static_cast<UINT>(index) < count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "hold") == 0) return Hold(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "version") == 0) return PrintVersion(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "registry") == 0) return PrintRegistry(argc - 2, argv + 2, 0);
    if (argc >= 3 && std::strcmp(argv[1], "registry64") == 0) return PrintRegistry(argc - 2, argv + 2, KEY_WOW64_64KEY);
    if (argc == 3 && std::strcmp(argv[1], "icon") == 0) return CheckIcon(argv[2]);
    std::fprintf(stderr, "usage: installer_probe hold LIBRARY READY STOP | version FILE | registry[64] KEY... | "
                         "icon FILE,INDEX\n");
    return 2;
}
