// A browser's window for a plug-in instance: a child of a chosen client size in a visible
// top-level frame that all of them share. The child's own procedure stands for the browser's: it counts what
// reaches it, paints its client red and answers WM_USER with kBrowserAnswer, so a test can
// tell whether a message or a paint went through the plug-in or past it.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "browser/NpapiAbi.h"
#include "base/MessagePump.h"
#include "base/UniqueHandle.h"

class BrowserWindow {
public:
    static constexpr LRESULT kBrowserAnswer = 0x4242;
    static constexpr COLORREF kBrowserColour = RGB(255, 0, 0);

    BrowserWindow(int width, int height);
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    HWND Frame() const { return frame_; }
    HWND Child() const { return child_.Get(); }
    // The record a browser hands to NPP_SetWindow for the child.
    NPWindow* Record() { return &record_; }

    // How often the browser's own procedure saw a message.
    int Received(UINT message) const;
    WNDPROC CurrentProc() const;
    static WNDPROC BrowserProc();

    void Destroy();   // destroys the child (WM_DESTROY reaches whoever holds it)
    void Repaint();   // invalidate, erase, paint now

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND frame_ = nullptr;
    OwnedWindow child_;
    NPWindow record_{};
    std::map<UINT, int> received_;
};

// The client area's pixels as painted on screen, read back through a 32-bit DIB.
class ClientPixels {
public:
    explicit ClientPixels(HWND hwnd);
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;
    // Pixels of the rectangle [left, right) x [top, bottom) that differ from colour.
    int CountOther(int left, int top, int right, int bottom, COLORREF colour) const;
    int Count(int left, int top, int right, int bottom, COLORREF colour) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> bits_;  // top-down rows, 0x00RRGGBB
};
