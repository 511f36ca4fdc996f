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
    if (!module) module.Reset(LoadLibraryA("WININET.DLL"));
    if (!module) return false;
    return Find(module.Get(), "InternetOpenA", InternetOpenA)
        && Find(module.Get(), "InternetOpenUrlA", InternetOpenUrlA)
        && Find(module.Get(), "InternetReadFile", InternetReadFile)
        && Find(module.Get(), "InternetCloseHandle", closeHandle)
        && Find(module.Get(), "InternetCanonicalizeUrlA", InternetCanonicalizeUrlA)
        && Find(module.Get(), "HttpQueryInfoA", HttpQueryInfoA)
        && Find(module.Get(), "InternetQueryDataAvailable", InternetQueryDataAvailable);
}

void WinInetLibrary::Abandon()
{
    module.Release();
    Unload();
}

void WinInetLibrary::Unload()
{
    module.Reset();
    InternetOpenA = nullptr;
    InternetOpenUrlA = nullptr;
    InternetReadFile = nullptr;
    closeHandle = nullptr;
    InternetCanonicalizeUrlA = nullptr;
    HttpQueryInfoA = nullptr;
    InternetQueryDataAvailable = nullptr;
}
