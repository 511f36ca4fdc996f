// What the activity tests stand on: a recording stand-in for a renderer session, real
// top-level windows of this process, and a helper process that takes the foreground.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "activity/ActivitySession.h"
#include "base/MessagePump.h"
#include "base/UniqueHandle.h"

// Writes "<name>+" or "<name>-" into a shared log for every SetActive call.
class RecordingSession : public ActivitySession {
public:
    RecordingSession(const char* name, std::vector<std::string>& log) : name_(name), log_(log) {}
    void SetActive(bool on) override { log_.push_back(name_ + (on ? "+" : "-")); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

// The block name that a process with this id and host class looks its controller up by.
std::string ControllerBlockName(const char* hostClass, DWORD processId);

// The address at offset 0 of the named controller block (a word of the process's width:
// only modules of this process read it), or 0 when there is none;
// *found tells whether the block could be opened at all.
UINT_PTR ReadControllerBlock(const std::string& name, bool* found);

// A window of this process: top-level (hidden unless asked, since destroying a shown one
// costs seconds under the display driver), or a shown child of `parent`. A hidden
// top-level window can still be the foreground window.
class TestWindow {
public:
    enum Kind { Hidden, Shown };
    explicit TestWindow(Kind kind = Hidden, HWND parent = nullptr);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_.Get(); }
    bool TakeForeground();  // true when this window is then the foreground window

private:
    OwnedWindow window_;
};

// activity_helper.exe running until the object goes away; it owns the foreground once
// Ready() is true.
class HelperProcess {
public:
    explicit HelperProcess(const char* hostClass = nullptr);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    bool Ready() const { return ready_; }
    DWORD Id() const { return process_.id; }

private:
    KernelHandle readyEvent_;
    KernelHandle quitEvent_;
    OwnedProcess process_;
    bool ready_ = false;
};
