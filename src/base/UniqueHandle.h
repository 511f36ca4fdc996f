// Owners of Windows handles: one template, one traits type per kind of handle. The traits
// say what "none" is for that kind and how one is given back; every handle the plug-in,
// the host, the renderer and the tests hold is closed here and nowhere else.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle, Traits traits = Traits()) : traits_(traits), handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : traits_(other.traits_), handle_(other.Release())
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
            traits_ = other.traits_;
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Empty(); }
    explicit operator bool() const { return Valid(); }

    // Gives back what is held and takes the new handle.
    void Reset(Type handle = Traits::Empty())
    {
        if (Valid()) traits_.Close(handle_);
        handle_ = handle;
    }
    // The caller takes over the handle.
    Type Release() { return std::exchange(handle_, Traits::Empty()); }
    // For calls that return a handle through a pointer: whatever was held goes first.
    Type* Receive()
    {
        Reset();
        return &handle_;
    }

private:
    Traits traits_{};
    Type handle_ = Traits::Empty();
};

// Kernel objects whose "none" is null: processes, threads, mutexes, events, mappings.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// Files and tool-help snapshots, whose "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// A directory search from FindFirstFile; its "none" is INVALID_HANDLE_VALUE too.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { FindClose(handle); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};
using RegistryKeyHandle = UniqueHandle<RegistryKeyTraits>;

// Pens, brushes, fonts and bitmaps; never one that is selected into a device context.
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Empty() { return nullptr; }
    static void Close(Type object) { DeleteObject(object); }
};
template <typename T>
using GdiObject = UniqueHandle<GdiObjectTraits<T>>;

// A device context made with CreateCompatibleDC.
struct MemoryDcTraits {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static void Close(Type dc) { DeleteDC(dc); }
};
using MemoryDc = UniqueHandle<MemoryDcTraits>;

// A window's device context from GetDC or GetDCEx, given back to its window (none for the
// screen's).
struct WindowDcTraits {
    using Type = HDC;
    HWND window = nullptr;
    static Type Empty() { return nullptr; }
    void Close(Type dc) const { ReleaseDC(window, dc); }
};
using WindowDc = UniqueHandle<WindowDcTraits>;

struct MappedViewTraits {
    using Type = void*;
    static Type Empty() { return nullptr; }
    static void Close(Type view) { UnmapViewOfFile(view); }
};
using MappedView = UniqueHandle<MappedViewTraits>;

// Pages from VirtualAlloc, released whole.
struct VirtualMemoryTraits {
    using Type = void*;
    static Type Empty() { return nullptr; }
    static void Close(Type pages) { VirtualFree(pages, 0, MEM_RELEASE); }
};
using VirtualMemory = UniqueHandle<VirtualMemoryTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type module) { FreeLibrary(module); }
};
using LoadedModule = UniqueHandle<ModuleTraits>;

struct WindowTraits {
    using Type = HWND;
    static Type Empty() { return nullptr; }
    static void Close(Type window) { DestroyWindow(window); }
};
using OwnedWindow = UniqueHandle<WindowTraits>;

struct AcceleratorTraits {
    using Type = HACCEL;
    static Type Empty() { return nullptr; }
    static void Close(Type table) { DestroyAcceleratorTable(table); }
};
using AcceleratorTable = UniqueHandle<AcceleratorTraits>;

// Movable memory for the clipboard, given back unless SetClipboardData took it over (Release).
struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Empty() { return nullptr; }
    static void Close(Type memory) { GlobalFree(memory); }
};
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// Memory the system allocated for us and says to give back with LocalFree (a security
// descriptor made from text).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Empty() { return nullptr; }
    static void Close(Type memory) { LocalFree(memory); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

// WinInet is loaded at run time, so its closing call comes with the handle.
struct InternetHandleTraits {
    using Type = HINTERNET;
    BOOL(WINAPI* close)(HINTERNET) = nullptr;
    static Type Empty() { return nullptr; }
    void Close(Type handle) const
    {
        if (close) close(handle);
    }
};
using InternetHandle = UniqueHandle<InternetHandleTraits>;

// Both handles CreateProcess gives back.
struct OwnedProcess {
    OwnedProcess() = default;
    explicit OwnedProcess(const PROCESS_INFORMATION& started)
        : process(started.hProcess), thread(started.hThread), id(started.dwProcessId)
    {
    }
    KernelHandle process;
    KernelHandle thread;
    DWORD id = 0;
};
