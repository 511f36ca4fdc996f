// Writes the control's registration (ControlRegistration) into HKLM of one registry view,
// and takes away exactly that again.
#pragma once

#include <windows.h>

#include <string>

// The view a library of this width registers in: the 32-bit one for i686, the 64-bit one
// for x86-64, whoever runs it.
REGSAM OwnRegistryView();

// S_OK when every entry is written; a MIME type that names another class is left as it is
// and counts as success.
HRESULT RegisterControl(const std::string& dllPath, REGSAM view = OwnRegistryView());
// Deletes the control's own keys and the MIME type's class value while it names ours.
HRESULT UnregisterControl(REGSAM view = OwnRegistryView());
