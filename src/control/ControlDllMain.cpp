#include <windows.h>

#include "browser/BrowserServices.h"
#include "control/ControlWindow.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    StoreModuleHandle(module);
    // Unloaded by FreeLibrary (not at the process's end): a class left registered would
    // point into code that is gone when the library is loaded again.
    if (reason == DLL_PROCESS_DETACH && !reserved) UnregisterControlWindowClass();
    return TRUE;
}
