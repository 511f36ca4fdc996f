#include "activity/ActivityController.h"

#include "base/UniqueHandle.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

namespace {

// Per module: each loaded copy of the plug-in has its own.
bool hostClassSet = false;
std::string hostClass;
ActivityController* cachedController = nullptr;

// Holds the controller's critical section for one operation.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section_(section)
    {
        EnterCriticalSection(&section_);
    }
    ~CriticalSectionGuard() { LeaveCriticalSection(&section_); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CRITICAL_SECTION& section_;
};

}  // namespace

ActivityController::ActivityController()
{
    InitializeCriticalSection(&lock);
}

ActivityController::~ActivityController()
{
    DeleteCriticalSection(&lock);
}

void ActivityController::Track(ActivitySession* channel, bool remove)
{
    CriticalSectionGuard guard(lock);
    if (!channel) return;
    if (!remove) {
        sessions.push_back(channel);
        return;
    }
    auto it = std::find(sessions.begin(), sessions.end(), channel);
    if (it == sessions.end()) return;
    sessions.erase(it);
    if (activeChannel == channel) activeChannel = nullptr;
}

void ActivityController::Activate(ActivitySession* channel)
{
    CriticalSectionGuard guard(lock);
    if (!channel || std::find(sessions.begin(), sessions.end(), channel) == sessions.end()) return;
    if (activeChannel && activeChannel != channel) activeChannel->SetActive(false);
    activeChannel = channel;
    if (!inBackground) channel->SetActive(true);
}

void ActivityController::CheckForeground()
{
    CriticalSectionGuard guard(lock);
    DWORD foregroundProcess = 0;
    if (HWND foreground = GetForegroundWindow()) GetWindowThreadProcessId(foreground, &foregroundProcess);
    bool ours = foregroundProcess != 0 && foregroundProcess == GetCurrentProcessId();
    if (ours == !inBackground) return;
    inBackground = !ours;
    if (activeChannel) activeChannel->SetActive(ours);
}

void SetActivityClass(const char* name)
{
    if (!name) return;
    hostClass = name;
    hostClassSet = true;
}

ActivityController* GetActivityController()
{
    if (cachedController) return cachedController;

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD size = system.dwAllocationGranularity;
    char name[260];
    std::snprintf(name, sizeof name, "OrbolanthActivityController_%s_0x%lX",
                  hostClassSet ? hostClass.c_str() : "UnClassed", GetCurrentProcessId());

    bool created = false;
    KernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, name));
    if (!block) {
        block.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name));
        if (!block) return nullptr;
        created = true;
    }
    MappedView view(MapViewOfFile(block.Get(), created ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, size));
    if (!view) return nullptr;
    auto* slot = static_cast<ActivityController* volatile*>(view.Get());
    if (created) {
        // The controller and its block stay until the process ends, even when this module
        // unloads first: other copies of the plug-in hold the controller's address, and a
        // copy loaded later must find the same object. It lives on the process's heap, not
        // in this module, and its handle is deliberately never closed.
        cachedController = new (std::nothrow) ActivityController();
        *slot = cachedController;
        block.Release();
    } else {
        cachedController = *slot;
    }
    return cachedController;
}
