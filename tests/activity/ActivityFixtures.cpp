#include "ActivityFixtures.h"

#include <cstdio>

namespace {

constexpr char kWindowClass[] = "OrbActivityTestWindow";

void RegisterWindowClass()
{
    static bool registered = false;
    if (registered) return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    registered = RegisterClassA(&windowClass) != 0;
}

std::string UniqueEventName(const char* role)
{
    static int counter = 0;
    char name[96];
    std::snprintf(name, sizeof name, "OrbActivityTest_%s_%lu_%d", role, GetCurrentProcessId(), ++counter);
    return name;
}

}  // namespace

std::string ControllerBlockName(const char* hostClass, DWORD processId)
{
    char name[260];
    std::snprintf(name, sizeof name, "OrbolanthActivityController_%s_0x%lX", hostClass, processId);
    return name;
}

UINT_PTR ReadControllerBlock(const std::string& name, bool* found)
{
    *found = false;
    const KernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
    if (!block) return 0;
    UINT_PTR address = 0;
    const MappedView view(MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, sizeof address));
    if (view) {
        *found = true;
        address = *static_cast<const UINT_PTR*>(view.Get());
    }
    return address;
}

TestWindow::TestWindow(Kind kind, HWND parent)
{
    RegisterWindowClass();
    DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | (kind == Shown ? WS_VISIBLE : 0);
    window_.Reset(CreateWindowA(kWindowClass, "activity test", style, parent ? 0 : 50, parent ? 0 : 50, 320, 240,
                                parent, nullptr, GetModuleHandleA(nullptr), nullptr));
    PumpMessages();
}

TestWindow::~TestWindow()
{
    window_.Reset();
    PumpMessages();
}

bool TestWindow::TakeForeground()
{
    SetForegroundWindow(window_.Get());
    PumpMessages();
    return GetForegroundWindow() == window_.Get();
}

HelperProcess::HelperProcess(const char* hostClass)
{
    std::string readyName = UniqueEventName("ready"), quitName = UniqueEventName("quit");
    readyEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    quitEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
    std::string commandLine = "\"" ORB_BUILD_DIR "/tests/activity/activity_helper.exe\" " + readyName + " " +
                              quitName + (hostClass ? std::string(" ") + hostClass : std::string());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return;
    }
    process_ = OwnedProcess(started);
    // Our own windows get the deactivation while we wait, so keep the queue moving.
    HANDLE waitFor[] = {readyEvent_.Get(), process_.process.Get()};
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        DWORD woken = MsgWaitForMultipleObjects(2, waitFor, FALSE, 20000, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            ready_ = true;
            break;
        }
        if (woken != WAIT_OBJECT_0 + 2) break;
        PumpMessages();
    }
    PumpMessages();
}

HelperProcess::~HelperProcess()
{
    if (process_.process) {
        SetEvent(quitEvent_.Get());
        HANDLE process = process_.process.Get();
        if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    }
    process_ = OwnedProcess();
    readyEvent_.Reset();
    quitEvent_.Reset();
    PumpMessages();
}
