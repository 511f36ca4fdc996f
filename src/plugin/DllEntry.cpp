#include <windows.h>

#include "browser/BrowserServices.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    StoreModuleHandle(module);
    return TRUE;
}
