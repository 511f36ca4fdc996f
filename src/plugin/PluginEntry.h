// The three functions a Windows browser looks up by name in the plug-in library.
#pragma once

#include "browser/NpapiAbi.h"

extern "C" {
NPError __stdcall NP_GetEntryPoints(NPPluginFuncs* pFuncs);
NPError __stdcall NP_Initialize(NPNetscapeFuncs* pFuncs);
NPError __stdcall NP_Shutdown(void);
}

// Plug-in-wide callbacks behind them.
NPError NPP_Initialize();
void NPP_Shutdown();
void* NPP_GetJavaClass();
