// WinInet, loaded from WININET.DLL when a worker starts and never linked: a browser that
// lacks it must still load the plug-in. Only the header's types and constants are used.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/UniqueHandle.h"

class WinInetLibrary {
public:
    using OpenFn = HINTERNET(WINAPI*)(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR bypass,
                                      DWORD flags);
    using OpenUrlFn = HINTERNET(WINAPI*)(HINTERNET session, LPCSTR url, LPCSTR headers,
                                         DWORD headersLength, DWORD flags, DWORD_PTR context);
    using ReadFileFn = BOOL(WINAPI*)(HINTERNET handle, LPVOID buffer, DWORD size, LPDWORD count);
    using CanonicalizeUrlFn = BOOL(WINAPI*)(LPCSTR url, LPSTR buffer, LPDWORD length, DWORD flags);
    using HttpQueryInfoFn = BOOL(WINAPI*)(HINTERNET request, DWORD level, LPVOID buffer,
                                          LPDWORD length, LPDWORD index);
    using QueryDataAvailableFn = BOOL(WINAPI*)(HINTERNET request, LPDWORD available, DWORD flags,
                                               DWORD_PTR context);

    WinInetLibrary() = default;
    ~WinInetLibrary() = default;
    WinInetLibrary(const WinInetLibrary&) = delete;
    WinInetLibrary& operator=(const WinInetLibrary&) = delete;

    // True when the library and all its entry points were found. The library stays loaded
    // after a partial failure, until Unload.
    bool Load();
    // Every handle owned through this library must be gone first.
    void Unload();
    // For when a thread was terminated inside WinInet: its handles and locks may still be
    // held, so the library stays loaded (and unused) for the life of the process.
    void Abandon();
    // An owner that closes the handle through this library.
    InternetHandle Own(HINTERNET handle) const { return InternetHandle(handle, {closeHandle}); }

    OpenFn InternetOpenA = nullptr;
    OpenUrlFn InternetOpenUrlA = nullptr;
    ReadFileFn InternetReadFile = nullptr;
    CanonicalizeUrlFn InternetCanonicalizeUrlA = nullptr;
    HttpQueryInfoFn HttpQueryInfoA = nullptr;
    QueryDataAvailableFn InternetQueryDataAvailable = nullptr;

private:
    LoadedModule module;
    BOOL(WINAPI* closeHandle)(HINTERNET handle) = nullptr;
};
