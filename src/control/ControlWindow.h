// The control's own child window in the container's window: the renderer draws in it, the
// logo paints in it, and its messages go to its owner. Nothing of the container's is
// subclassed. The window class is registered by the library once and taken back when it
// unloads (UnregisterControlWindowClass).
#pragma once

#include <windows.h>

class ControlWindowOwner {
public:
    virtual LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~ControlWindowOwner() = default;
};

class ControlWindow {
public:
    ControlWindow() = default;
    ~ControlWindow() { Destroy(); }
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // A visible child of parent at position (the parent's client coordinates), showing only
    // what lies within clip: the part of a page scrolled out of its view.
    bool Create(HWND parent, const RECT& position, const RECT& clip, ControlWindowOwner* owner);
    void Move(const RECT& position, const RECT& clip);
    // The owner hears no more of it after this.
    void Destroy();
    HWND Handle() const { return hwnd_; }
    // The window has gone by itself (its parent went): nothing is left to destroy.
    void Forget(HWND hwnd)
    {
        if (hwnd == hwnd_) hwnd_ = nullptr;
    }

private:
    void Clip(const RECT& position, const RECT& clip);
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// The library is being unloaded: no window of the class is left.
void UnregisterControlWindowClass();
