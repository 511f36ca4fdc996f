// The player's icon (OrbolanthPlayer.ico, drawn by make_icon.py) on the player's windows.
#pragma once

#include <windows.h>

// The large icon (Alt+Tab) and the small one (caption, task bar) of `window`.
void ShowPlayerIcon(HWND window);

// The same for every window of `window`'s class as well, which windows made later inherit.
void ShowPlayerIconForClass(HWND window);
