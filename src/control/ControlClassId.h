// The control's class and the names it is registered under. Nothing else belongs here: the
// installer's tests and the containers read these without the rest of the control.
#pragma once

#include <guiddef.h>

// {7B9DBB87-D073-440A-A713-787FD3FD89EF}
inline constexpr GUID CLSID_OrbolanthControl = {
    0x7b9dbb87, 0xd073, 0x440a, {0xa7, 0x13, 0x78, 0x7f, 0xd3, 0xfd, 0x89, 0xef}};

inline constexpr char kControlClassIdText[] = "{7B9DBB87-D073-440A-A713-787FD3FD89EF}";
inline constexpr char kControlProgId[] = "Orbolanth.AppletControl.1";
inline constexpr char kControlVersionIndependentProgId[] = "Orbolanth.AppletControl";
inline constexpr char kControlDisplayName[] = "Orbolanth 3-D Applet Control";
inline constexpr char kControlMimeType[] = "application/x-Orbolanth-3D-Applet";
inline constexpr const char* kControlExtensions[] = {".obvm", ".obv"};
