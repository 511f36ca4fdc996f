// The four functions COM and regsvr32 look up by name in the control's library.
#pragma once

#include <windows.h>

extern "C" {
HRESULT __stdcall DllGetClassObject(REFCLSID classId, REFIID iid, void** object);
HRESULT __stdcall DllCanUnloadNow(void);
HRESULT __stdcall DllRegisterServer(void);
HRESULT __stdcall DllUnregisterServer(void);
}
