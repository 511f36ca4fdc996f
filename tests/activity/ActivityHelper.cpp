// Another process for the activity tests: it looks up its own activity controller (with
// the host class given as the third argument, or none), shows a top-level window, takes
// the foreground, signals the ready event and stays until the quit event is set.
//   activity_helper READY_EVENT QUIT_EVENT [HOST_CLASS]
#include <windows.h>

#include "activity/ActivityController.h"
#include "base/MessagePump.h"
#include "base/UniqueHandle.h"

int main(int argc, char** argv)
{
    if (argc < 3) return 1;
    const KernelHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
    const KernelHandle quit(OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
    if (!ready || !quit) return 1;

    if (argc > 3) SetActivityClass(argv[3]);
    if (!GetActivityController()) return 2;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OrbActivityHelperWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("OrbActivityHelperWindow", "helper", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                10, 10, 200, 150, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return 3;
    SetForegroundWindow(window);
    PumpMessages();
    if (GetForegroundWindow() != window) return 4;
    SetEvent(ready.Get());

    HANDLE waitFor = quit.Get();
    while (MsgWaitForMultipleObjects(1, &waitFor, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        PumpMessages();
    }
    // The window goes with the process: destroying a shown top-level window first would
    // keep the display driver waiting for its unmap for seconds.
    return 0;
}
