// orbcontainer's page: a frame window with a page area, the page's controls hosted in it as
// Internet Explorer hosts them, closed on the window's close, a time or a log line; then
// whether the control library may be unloaded, and whether anything it started still runs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CallLog.h"
#include "ContainerOptions.h"
#include "HostedControl.h"

class Container {
public:
    Container(const ContainerOptions& options, CallLog& log);
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // The exit code: 0 after a clean run, 1 when the page cannot be read, 2 when no control
    // could be created.
    int Run();

private:
    static constexpr UINT_PTR kCloseTimer = 1;

    const ContainerOptions& options_;
    CallLog& log_;
    HWND frame_ = nullptr;
    HWND page_ = nullptr;
    InPlaceFrame* inPlaceFrame_ = nullptr;  // referenced
    IMoniker* pageMoniker_ = nullptr;       // referenced
    std::vector<std::unique_ptr<HostedControl>> controls_;
    std::vector<RECT> rects_;
    std::string library_;  // the first control's InprocServer32 path

    bool ReadPage(std::string& html, std::string& url);
    void MakeWindows();
    void Layout(const std::vector<PageControl>& elements);
    void Fit();
    void CloseControls();
    void WaitUntilUnloadable();
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
