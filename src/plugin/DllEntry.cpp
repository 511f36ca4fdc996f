#include <windows.h>

#include "plugin/BrowserServices.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    StoreModuleHandle(module);
    return TRUE;
}
