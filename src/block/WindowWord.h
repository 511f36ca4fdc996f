// A window handle as the block's 32-bit words carry it. Handles have 32 significant bits on
// 64-bit Windows too (a 32-bit renderer draws in the 64-bit plug-in's window), and the
// system widens a 32-bit handle by sign extension, so the word goes back the same way.
#pragma once

#include <windows.h>

#include <cstdint>

inline uint32_t WindowWord(HWND window)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

inline HWND WindowFromWord(uint32_t word)
{
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(word)));
}
