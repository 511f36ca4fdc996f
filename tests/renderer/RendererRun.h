// What the tests that run orbrenderer.exe share: windows for it to draw into, running it, and
// reading back what it drew.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BrowserWindow.h"  // PumpMessages
#include "base/UniqueHandle.h"

class TempFolder;

// A visible window of this process that the renderer is told to draw into, as the browser's
// plug-in window would be; its own painting is plain black. Top-level, or a child at (x, y) of
// the parent's client area, as the browser's windows are.
class TargetWindow {
public:
    TargetWindow(int width, int height, int x = 40, int y = 40, HWND parent = nullptr);

    HWND Handle() const { return window_.Get(); }
    // Gone without a word to anyone, as a browser may take a plug-in's window away.
    void Destroy() { window_.Reset(); }

private:
    OwnedWindow window_;
};

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs the renderer with these arguments and its standard output in a file of the folder, pumping
// this thread's messages meanwhile (the windows it draws into are ours).
RunResult RunRenderer(const std::string& arguments, const TempFolder& folder);

struct Bitmap {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down as FrameBuffer keeps them
};

// A 32-bit BMP as the renderer writes it; empty when unreadable.
Bitmap ReadBmp(const std::string& path);

// Pixels whose blue clearly outweighs red: the blue sample objects, not dark backgrounds.
int CountBlue(const std::vector<uint32_t>& pixels);

// The client area of a window as shown on the screen, 0x00RRGGBB, every `step`-th pixel.
std::vector<uint32_t> ScreenPixels(HWND window, int step = 1);

std::string Hex(HWND window);
