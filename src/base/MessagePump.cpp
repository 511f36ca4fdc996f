#include "base/MessagePump.h"

#include <windows.h>

#include "base/ModuleHold.h"

bool PumpMessages()
{
    ModuleHold hold;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT) return false;
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}
