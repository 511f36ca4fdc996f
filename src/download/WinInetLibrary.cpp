#include "download/WinInetLibrary.h"

namespace {

template <typename Fn>
bool Find(HMODULE module, const char* name, Fn& entry)
{
    entry = reinterpret_cast<Fn>(GetProcAddress(module, name));
    return entry != nullptr;
}

}  // namespace

bool WinInetLibrary::Load()
{
    if (!module) module = LoadLibraryA("WININET.DLL");
    if (!module) return false;
    return Find(module, "InternetOpenA", InternetOpenA)
        && Find(module, "InternetOpenUrlA", InternetOpenUrlA)
        && Find(module, "InternetReadFile", InternetReadFile)
        && Find(module, "InternetCloseHandle", InternetCloseHandle)
        && Find(module, "InternetCanonicalizeUrlA", InternetCanonicalizeUrlA)
        && Find(module, "HttpQueryInfoA", HttpQueryInfoA);
}

void WinInetLibrary::Unload()
{
    if (!module) return;
    FreeLibrary(module);
    module = nullptr;
    InternetOpenA = nullptr;
    InternetOpenUrlA = nullptr;
    InternetReadFile = nullptr;
    InternetCloseHandle = nullptr;
    InternetCanonicalizeUrlA = nullptr;
    HttpQueryInfoA = nullptr;
}
