// The browser's window: a top-level frame with a grey page area, one child window per
// plug-in embed laid out left to right (wrapping at the right edge), and a status bar.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/UniqueHandle.h"

class HostWindowEvents {
public:
    virtual void OnWork() = 0;                 // posted with PostWork
    virtual void OnTimer(UINT_PTR id) = 0;
    virtual void OnCloseRequested() = 0;       // the user or the host asked to close the page
    virtual void OnAreaDestroyed(HWND area) = 0;
    virtual void OnAreaDestroyMessage(HWND area) = 0;  // WM_DESTROY reached the area's class
    // Any other message of the frame, first; true when it is answered with `result`.
    virtual bool OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~HostWindowEvents() = default;
};

class HostWindow {
public:
    // The frame is of class `frameClass`, registered on first use. With `unseenAt` it is a
    // frame nobody sees: no caption, no status bar, no taskbar button, never activated, at
    // that place of the screen (the native host's, whose pictures go to a page instead).
    HostWindow(HostWindowEvents& events, const char* frameClass, const std::string& title, int width, int height,
               HMENU menu = nullptr, const POINT* unseenAt = nullptr);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Handle() const { return frame_.Get(); }

    // A new plug-in area of the given size at the next free place of the page; its
    // position in the frame's client area is returned through x and y.
    HWND AddPluginArea(int width, int height, int& x, int& y);
    // An area at a place the program chose, in the frame's client coordinates.
    HWND AddPluginAreaAt(int x, int y, int width, int height);
    void RemovePluginArea(HWND area);
    // The next area goes to the top left again (a new page).
    void ResetLayout();
    // The frame's client area above the status bar.
    RECT PageRect() const;

    // ANSI text (the plug-in's status goes through the ANSI code page), or text in any script.
    void SetStatus(const std::string& text);
    void SetStatus(const std::wstring& text);
    // Progress shown in the status bar in place of its text, which comes back when the
    // progress is empty; a status set meanwhile shows until the next progress.
    void SetProgress(const std::string& text);
    void ShowStatusBar(bool show);
    void SetTitle(const std::string& title);
    void SetTitle(const std::wstring& title);
    void PostWork();
    // PostWork for another thread: it holds only the window's handle, so it may run after
    // the window (and this object) have gone.
    std::function<void()> WorkPoster() const;
    void PostClose();
    void StartTimer(UINT_PTR id, UINT ms);
    void StopTimer(UINT_PTR id);
    void Destroy();

private:
    static constexpr int kMargin = 8;
    HostWindowEvents& events_;
    OwnedWindow frame_;
    HWND statusBar_ = nullptr;
    std::wstring status_;
    bool progressShown_ = false;
    int nextX_ = kMargin;
    int nextY_ = kMargin;
    int rowHeight_ = 0;

    static void RegisterClasses(const char* frameClass);
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
